// Saving to and reading from every kind of path a user can name: regular files are replaced whole
// (links followed), devices, FIFOs, terminals and /proc/self/fd links are written where they are
// and read as streams, and each node or link is still what it was afterwards.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <thread>

#include "buffer/FileIo.h"
#include "tests/buffer/ScratchFiles.h"
#include "tests/support/FileKinds.h"
#include "tests/support/Pty.h"

namespace kestrel {
namespace {

using test::Identify;
using test::Pipe;
using test::ReadAvailable;

const Bytes Payload = Text("kestrel image 0123456789");

// What a case keeps alive while it runs: its folder, and the far ends of its FIFO, pipe or line.
struct Scene {
  ScratchDir dir;
  std::unique_ptr<test::Pty> pty;
  std::unique_ptr<Pipe> pipe;
  std::unique_ptr<test::BoundSocket> socket;
  int fifoReader = -1;
  int file = -1;
  std::thread fifoWriter;
  ~Scene() {
    if (fifoWriter.joinable()) fifoWriter.join();
    if (fifoReader >= 0) ::close(fifoReader);
    if (file >= 0) ::close(file);
  }
  std::string Fifo() {
    const std::string path = dir.File("fifo");
    if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("no FIFO");
    return path;
  }
  std::string Device(const char* name) {
    test::MakeDeviceLike(dir.File(name), name);
    return dir.File(name);
  }
  std::string LinkToFd(int fd) {
    std::filesystem::create_symlink("/proc/self/fd/" + std::to_string(fd), dir.File("fd-link"));
    return dir.File("fd-link");
  }
};

struct SaveCase {
  const char* kind;
  std::function<std::string(Scene&)> make;
  const char* error;                     // the reason the save gives; null when it succeeds
  std::function<Bytes(Scene&)> arrived;  // what reached the far side; null: nothing to see
};

TEST(FileKinds, SavingWritesDevicesAndStreamsInPlaceAndReplacesOnlyFiles) {
  const SaveCase cases[] = {
      {"regular file",
       [](Scene& s) {
         WriteFile(s.dir.File("old.bin"), Bytes(1000, 0x33));
         return s.dir.File("old.bin");
       },
       nullptr, [](Scene& s) { return ReadFile(s.dir.File("old.bin")); }},
      {"link to a regular file",
       [](Scene& s) {
         WriteFile(s.dir.File("target.bin"), Bytes(1000, 0x33));
         std::filesystem::create_symlink("target.bin", s.dir.File("link.bin"));
         return s.dir.File("link.bin");
       },
       nullptr, [](Scene& s) { return ReadFile(s.dir.File("target.bin")); }},
      {"missing file", [](Scene& s) { return s.dir.File("new.bin"); }, nullptr,
       [](Scene& s) { return ReadFile(s.dir.File("new.bin")); }},
      {"dangling link",
       [](Scene& s) {
         std::filesystem::create_symlink("made.bin", s.dir.File("dangling.bin"));
         return s.dir.File("dangling.bin");
       },
       nullptr, [](Scene& s) { return ReadFile(s.dir.File("made.bin")); }},
      {"FIFO with a reader",
       [](Scene& s) {
         const std::string path = s.Fifo();
         s.fifoReader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
         return path;
       },
       nullptr, [](Scene& s) { return ReadAvailable(s.fifoReader); }},
      {"FIFO nobody reads", [](Scene& s) { return s.Fifo(); }, "ни читающей программы, ни устройства", {}},
      {"socket",
       [](Scene& s) {
         s.socket = std::make_unique<test::BoundSocket>(s.dir.File("socket"));
         return s.dir.File("socket");
       },
       "ни читающей программы, ни устройства",
       {}},
      {"null device", [](Scene& s) { return s.Device("null"); }, nullptr, {}},
      {"full device", [](Scene& s) { return s.Device("full"); }, "нет места на диске", {}},
      {"terminal",
       [](Scene& s) {
         s.pty = std::make_unique<test::Pty>();
         return s.pty->SlavePath();
       },
       nullptr, [](Scene& s) { return s.pty->Read(Payload.size(), std::chrono::seconds(1)); }},
      {"link into /proc/self/fd",
       [](Scene& s) {
         s.pipe = std::make_unique<Pipe>();
         return s.LinkToFd(s.pipe->Writer());
       },
       nullptr, [](Scene& s) { return ReadAvailable(s.pipe->Reader()); }},
      // Only the kernel's link still reaches a file that has been deleted: it is written through it.
      {"link into /proc/self/fd of a deleted file",
       [](Scene& s) {
         WriteFile(s.dir.File("deleted.bin"), Bytes(1000, 0x33));
         s.file = ::open(s.dir.File("deleted.bin").c_str(), O_RDONLY | O_CLOEXEC);
         std::filesystem::remove(s.dir.File("deleted.bin"));
         return s.LinkToFd(s.file);
       },
       nullptr, [](Scene& s) { return ReadAvailable(s.file); }},
      {"directory", [](Scene& s) { return s.dir.Path().string(); }, "это папка, а не файл", {}},
  };
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.kind);
    Scene scene;
    const std::string path = c.make(scene);
    const test::NodeIdentity before = Identify(path);
    std::string error;
    try {
      ReplaceFileContents(path, Payload);
    } catch (const FileError& failure) {
      error = failure.what();
    }
    if (c.error) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      EXPECT_NE(error.find(path), std::string::npos) << error;
    } else {
      EXPECT_EQ(error, "");
    }
    if (c.arrived) {
      EXPECT_EQ(c.arrived(scene), Payload);
    }
    // A node that was there is still what it was (a dangling link now leads to the file made);
    // nothing was left beside it.
    test::NodeIdentity after = Identify(path);
    if (before.finalType == 0) after.finalType = 0;
    if (before.type != 0) {
      EXPECT_EQ(after, before);
    }
    for (const auto& entry : std::filesystem::directory_iterator(scene.dir.Path()))
      EXPECT_FALSE(entry.path().extension() == ".tmp") << entry.path();
  }
}

struct ReadCase {
  const char* kind;
  std::function<std::string(Scene&)> make;
  std::optional<Bytes> bytes;  // what reading gives, up to 100 bytes; none: nothing is there
  const char* error;           // the reason a reading error gives; null when it reads
};

TEST(FileKinds, ReadingTakesFilesAndStreamsAndNamesTheCauseOtherwise) {
  const ReadCase cases[] = {
      {"regular file",
       [](Scene& s) {
         WriteFile(s.dir.File("file.bin"), Payload);
         return s.dir.File("file.bin");
       },
       Payload, nullptr},
      {"link to a regular file",
       [](Scene& s) {
         WriteFile(s.dir.File("file.bin"), Payload);
         std::filesystem::create_symlink(s.dir.File("file.bin"), s.dir.File("link.bin"));
         return s.dir.File("link.bin");
       },
       Payload, nullptr},
      {"missing file", [](Scene& s) { return s.dir.File("none.bin"); }, std::nullopt, nullptr},
      {"FIFO whose writer comes later",
       [](Scene& s) {
         const std::string path = s.Fifo();
         s.fifoWriter = std::thread([path] {
           const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
           EXPECT_EQ(::write(fd, Payload.data(), Payload.size()), static_cast<ssize_t>(Payload.size()));
           ::close(fd);
         });
         return path;
       },
       Payload, nullptr},
      {"socket",
       [](Scene& s) {
         s.socket = std::make_unique<test::BoundSocket>(s.dir.File("socket"));
         return s.dir.File("socket");
       },
       Bytes{}, "ни читающей программы, ни устройства"},
      {"null device", [](Scene& s) { return s.Device("null"); }, Bytes{}, nullptr},
      // A device without end is read up to the limit.
      {"full device", [](Scene& s) { return s.Device("full"); }, Bytes(100, 0), nullptr},
      {"terminal",
       [](Scene& s) {
         s.pty = std::make_unique<test::Pty>();
         s.pty->Write(Text("a line\n\x04"));  // the line, then the end of input
         return s.pty->SlavePath();
       },
       Text("a line\n"), nullptr},
      {"link into /proc/self/fd",
       [](Scene& s) {
         s.pipe = std::make_unique<Pipe>();
         EXPECT_EQ(::write(s.pipe->Writer(), Payload.data(), Payload.size()),
                   static_cast<ssize_t>(Payload.size()));
         s.pipe->CloseWriter();
         return s.LinkToFd(s.pipe->Reader());
       },
       Payload, nullptr},
      {"directory", [](Scene& s) { return s.dir.Path().string(); }, Bytes{}, "это папка, а не файл"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.kind);
    Scene scene;
    const std::string path = c.make(scene);
    const test::NodeIdentity before = Identify(path);
    try {
      EXPECT_EQ(ReadFileBytes(path, 100), c.bytes);
      EXPECT_EQ(c.error, nullptr);
    } catch (const FileError& failure) {
      ASSERT_NE(c.error, nullptr) << failure.what();
      EXPECT_NE(std::string(failure.what()).find(c.error), std::string::npos) << failure.what();
    }
    EXPECT_EQ(Identify(path), before);
  }
}

}  // namespace
}  // namespace kestrel
