// kestrel-cli as a script runs it: the real program against emulated programmers on
// pseudo-terminals, registered as COM names in a scratch config folder.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "buffer/HexReader.h"
#include "buffer/HexWriter.h"
#include "emulator/Emulator.h"
#include "tests/cli/CliFixture.h"
#include "tests/support/FileKinds.h"
#include "tests/support/Pty.h"

using namespace kestrel;
using namespace kestrel::test;
using emulator::Emulator;
using emulator::EmulatorOptions;
using emulator::MemoryKind;
using Bytes = std::vector<std::uint8_t>;
using test::Identify;
using test::MakeDeviceLike;
using test::NodeIdentity;
using test::Pipe;
using test::ReadAvailable;

namespace {

// Every action once, on the largest chip, with a HEX file whose data lies above 64 KiB.
TEST_F(CliTest, EveryActionOnA256KiBChipWithJsonResults) {
  Emulator& device = AddDevice("COM5");
  Bytes image = Random(200000, 1);
  const QString hex = File("big.hex", WriteHexImage(image));
  const QString eeprom = File("e.bin", Random(4096, 2));

  const CliRun run = Cli({"-p",     "COM5",
                          "-c",     "atmega2560",
                          "-e",     "-V",
                          "--json", "info",
                          "chip",   "signature",
                          "write",  "flash",
                          hex,      "read",
                          "flash",  "back.hex",
                          "verify", "flash",
                          hex,      "write",
                          "eeprom", eeprom,
                          "erase",  "eeprom",
                          "fuses",  "0000000011111111101",
                          "fuses",  "lock",
                          "110000", "lock"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(FlashOf(device, "ATmega2560", image.size()), image);

  QJsonParseError error;
  const QJsonObject port = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error).object();
  ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
  EXPECT_EQ(port["port"].toString(), "COM5");
  const QJsonArray actions = port["actions"].toArray();
  ASSERT_EQ(actions.size(), 12) << run.out;
  EXPECT_EQ(actions[1].toObject()["flash"].toInt(), 262144);
  EXPECT_TRUE(actions[2].toObject()["good"].toBool());
  EXPECT_TRUE(actions[3].toObject()["verified"].toBool());
  EXPECT_EQ(actions[9].toObject()["bits"].toString(), "0000000011111111101");
  EXPECT_EQ(actions[11].toObject()["bits"].toString(), "110000");

  // Read back in HEX: the whole chip, the image at its place, the erased rest FF.
  image.resize(262144, 0xFF);
  EXPECT_EQ(ReadHexImage(Read("back.hex")).image, image);
  const CliRun again = Cli({"-p", "COM5", "-c", "7", "read", "flash", "-"});
  ASSERT_EQ(again.status, 0) << again.err;
  ASSERT_EQ(again.out.size(), 262144u);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), again.out.begin(),
                         [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
  const emulator::ChipState chip = device.Chip(Emulator::ChipNumber("ATmega2560"));
  EXPECT_TRUE(std::all_of(chip.eeprom.begin(), chip.eeprom.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

// Each failure ends with its status and one line that names the port and what went wrong.
TEST_F(CliTest, ExitStatusTellsWhatFailed) {
  Emulator& device = AddDevice("COM5");
  const QString image = File("img.bin", Random(3000, 3));
  ASSERT_EQ(Cli({"-p", "COM5", "-c", "ATmega328P", "write", "flash", image}).status, 0);
  device.ModifyChip(Emulator::ChipNumber("ATmega328P"),
                    [](emulator::ChipState& chip) { chip.flash[2500] ^= 1; });

  const CliRun mismatch = Cli({"-p", "COM5", "-c", "ATmega328P", "verify", "flash", image});
  EXPECT_EQ(mismatch.status, 1);
  EXPECT_NE(mismatch.err.find("COM5: verify flash: the chip differs in the block at 0x09A0"),
            std::string::npos)
      << mismatch.err;

  const CliRun unoffered = Cli({"-p", "COM5", "-c", "AT90S8515", "fuses"});
  EXPECT_EQ(unoffered.status, 2);
  EXPECT_NE(unoffered.err.find("does not offer read fuses"), std::string::npos) << unoffered.err;

  EXPECT_EQ(Cli({"-p", "COM5", "-c", "no such chip", "info"}).status, 2);
  EXPECT_EQ(Cli({"-p", "COM6", "info"}).status, 3);
  EXPECT_EQ(Cli({"-p", "COM5", "-c", "ATtiny13A", "write", "flash", image}).status, 4);  // 3000 > 1024
  EXPECT_EQ(Cli({"-p", "COM5", "-c", "ATtiny13A", "write", "flash", "missing.bin"}).status, 4);

  // An empty file, or a HEX file with only its end record, is refused before anything is sent.
  const std::uint64_t commands = device.CommandsReceived();
  const QString endOnly = File("end.hex", Bytes{':', '0', '0', '0', '0', '0', '0', '0', '1', 'F', 'F', '\n'});
  for (const QString& empty : {File("empty.bin", {}), endOnly}) {
    const CliRun refused = Cli({"-p", "COM5", "-c", "ATmega328P", "-e", "-V", "write", "flash", empty});
    EXPECT_EQ(refused.status, 4) << refused.err;
    EXPECT_NE(refused.err.find("write flash: " + empty.toStdString() + " holds no data"), std::string::npos)
        << refused.err;
  }
  EXPECT_EQ(device.CommandsReceived(), commands);

  // Bits are read back after a write: programmed lock bits stay until the chip is erased.
  const CliRun locks = Cli({"-p", "COM5", "-c", "ATtiny13A", "--json", "lock", "11", "lock", "00", "lock"});
  EXPECT_EQ(locks.status, 1);
  EXPECT_NE(locks.err.find("COM5: lock: bits 0 LB1, 1 LB2 stay programmed (lock bits are cleared only by "
                           "erasing the chip); the chip holds 11"),
            std::string::npos)
      << locks.err;
  const QJsonArray lockActions =
      QJsonDocument::fromJson(QByteArray::fromStdString(locks.out))["actions"].toArray();
  ASSERT_EQ(lockActions.size(), 2) << locks.out;
  EXPECT_TRUE(lockActions[0].toObject()["written"].toBool());
  EXPECT_FALSE(lockActions[1].toObject()["written"].toBool());
  EXPECT_EQ(lockActions[1].toObject()["bits"].toString(), "11");
}

// One station of four falls silent from its tenth command on: it alone fails, with status 3.
TEST_F(CliTest, GangGoesOnWhenOneProgrammerFallsSilent) {
  for (const char* com : {"COM11", "COM12", "COM14"}) AddDevice(com);
  AddDevice("COM13", [](EmulatorOptions& options) { options.faults.silentFrom = 10; });
  const Bytes image = Random(8192, 4);
  const QString file = File("img.bin", image);

  const CliRun run = Cli({"-p", "COM11", "-p", "COM12", "-p", "COM13", "-p", "COM14", "-c", "ATmega328P",
                          "-e", "-V", "--json", "write", "flash", file});
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_NE(run.err.find("COM13: no programmer answered"), std::string::npos) << run.err;
  int done = 0;
  for (const auto& line : QByteArray::fromStdString(run.out).split('\n')) {
    if (line.isEmpty()) continue;
    const QJsonObject port = QJsonDocument::fromJson(line).object();
    EXPECT_EQ(port["status"].toInt(), port["port"].toString() == "COM13" ? 3 : 0) << line.toStdString();
    done += port["status"].toInt() == 0;
  }
  EXPECT_EQ(done, 3);
  for (std::size_t i : {0u, 1u, 2u}) EXPECT_EQ(FlashOf(*devices_[i], "ATmega328P", image.size()), image);
}

// Noise, broken and split replies, lost replies and crossing polls: whatever the link goes
// through, a run that ends with 0 leaves the chip equal to the image.
TEST_F(CliTest, FaultsNeverEndInSuccessOverADifferentChip) {
  const Bytes image = Random(32768, 5);
  const QString file = File("img.bin", image);
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    Emulator& device = AddDevice("COM2" + std::to_string(seed), [seed](EmulatorOptions& options) {
      options.faults.seed = seed;
      options.faults.noise = 0.05;
      options.faults.badHeader = 0.03;
      options.faults.badPayload = 0.03;
      options.faults.split = 0.2;
      options.faults.drop = 0.03;
      options.faults.cross = 0.3;
    });
    const CliRun run = Cli({"-p", QString::fromStdString("COM2" + std::to_string(seed)), "-c", "ATmega328P",
                            "-e", "write", "flash", file});
    // These rates leave every command a good chance within its eight sends.
    EXPECT_EQ(run.status, 0) << "seed " << seed << ": " << run.err;
    if (run.status == 0) {
      EXPECT_EQ(FlashOf(device, "ATmega328P", image.size()), image) << "seed " << seed;
    }
  }
}

// Results that cannot be delivered are never a success: a full device gets status 4 and the
// cause, a reader that has gone ends the run quietly with the same status (not by SIGPIPE).
TEST_F(CliTest, ResultsThatCannotBeWrittenAreAFileError) {
  AddDevice("COM5");
  const std::string full = config_.Path() + "/full";
  MakeDeviceLike(full, "full");
  const NodeIdentity fullNode = Identify(full);
  for (const QStringList& action :
       {QStringList{"read", "flash", "-"}, QStringList{"info"}, QStringList{"--json", "signature"}}) {
    const QStringList arguments = QStringList{"-p", "COM5", "-c", "0"} + action;
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const int device = open(full.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(device, 0);
    const CliRun onFull = CliOnto(arguments, device);
    close(device);
    EXPECT_EQ(onFull.status, 4);
    EXPECT_NE(onFull.err.find("standard output: No space left on device"), std::string::npos) << onFull.err;

    Pipe gone;
    gone.CloseReader();
    const CliRun onClosedPipe = CliOnto(arguments, gone.Writer());
    EXPECT_EQ(onClosedPipe.status, 4);
    EXPECT_EQ(onClosedPipe.err, "");
  }
  EXPECT_EQ(Identify(full), fullNode);
}

// Every kind of path as the file a read writes and a write reads: files are replaced or read
// whole, devices, FIFOs, terminals and /proc/self/fd links are used in place, what cannot be
// used is named with its cause, and each node or link is still what it was afterwards.
TEST_F(CliTest, EveryKindOfPathIsReadAndWrittenWithoutBeingReplaced) {
  Emulator& device = AddDevice("COM5");
  // What a read writes: no line feed in it, which a terminal would turn into two bytes.
  Bytes flash(1024);
  for (std::size_t i = 0; i < flash.size(); ++i) flash[i] = static_cast<std::uint8_t>(0x80 | (i * 7));
  // What a write reads, as a terminal's line too.
  const std::string text = "written from a stream\n";
  const Bytes textBytes(text.begin(), text.end());
  const std::string folder = config_.Path();
  const std::string file = folder + "/file.bin";
  const std::string fifo = folder + "/fifo";

  // What a case keeps alive while it runs: the far ends of its FIFO and its line.
  struct Scene {
    std::unique_ptr<Pty> pty;
    int fifoReader = -1;
    std::thread fifoWriter;
    std::string input;  // for the standard input
    ~Scene() {
      if (fifoWriter.joinable()) fifoWriter.join();
      if (fifoReader >= 0) close(fifoReader);
    }
  };
  struct Case {
    const char* kind;
    std::function<std::string(Scene&)> make;
    int status;
    const char* error;                                   // after the path in the error line
    std::function<Bytes(Scene&, const CliRun&)> result;  // what a read wrote, or a write read
  };
  const auto link = [&](const std::string& target) {
    std::filesystem::create_symlink(target, folder + "/link");
    return folder + "/link";
  };
  const auto makeFifo = [&] {
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    return fifo;
  };
  const auto deviceLike = [&](const std::string& name) {
    MakeDeviceLike(folder + "/" + name, name);
    return folder + "/" + name;
  };
  const auto terminal = [](Scene& s) {
    s.pty = std::make_unique<Pty>();
    return s.pty->SlavePath();
  };
  const auto fileBytes = [&](Scene&, const CliRun&) { return Read("file.bin"); };
  const auto stored = [&](Scene&, const CliRun&) { return FlashOf(device, "ATtiny13A", text.size()); };

  const Case reads[] = {
      {"regular file", [&](Scene&) { return File("file.bin", Bytes(10, 1)).toStdString(); }, 0, nullptr,
       fileBytes},
      {"link to a regular file",
       [&](Scene&) {
         File("file.bin", Bytes(10, 1));
         return link(file);
       },
       0, nullptr, fileBytes},
      {"missing file", [&](Scene&) { return file; }, 0, nullptr, fileBytes},
      {"FIFO with a reader",
       [&](Scene& s) {
         s.fifoReader = open(makeFifo().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
         return fifo;
       },
       0, nullptr, [](Scene& s, const CliRun&) { return ReadAvailable(s.fifoReader); }},
      {"FIFO nobody reads",
       [&](Scene&) { return makeFifo(); },
       4,
       "no reading program or device at the other end",
       {}},
      {"null device", [&](Scene&) { return deviceLike("null"); }, 0, nullptr, {}},
      {"full device", [&](Scene&) { return deviceLike("full"); }, 4, "no space left on device", {}},
      {"terminal", terminal, 0, nullptr,
       [&](Scene& s, const CliRun&) { return s.pty->Read(flash.size(), std::chrono::seconds(2)); }},
      // The image first, then the result line.
      {"link to the standard output", [&](Scene&) { return link("/proc/self/fd/1"); }, 0, nullptr,
       [&](Scene&, const CliRun& run) { return Bytes(run.out.begin(), run.out.begin() + flash.size()); }},
      {"directory", [&](Scene&) { return folder; }, 4, "is a directory", {}},
  };
  const Case writes[] = {
      {"regular file", [&](Scene&) { return File("file.bin", textBytes).toStdString(); }, 0, nullptr, stored},
      {"link to a regular file",
       [&](Scene&) {
         File("file.bin", textBytes);
         return link(file);
       },
       0, nullptr, stored},
      {"missing file", [&](Scene&) { return file; }, 4, "no such file", {}},
      {"FIFO whose writer comes later",
       [&](Scene& s) {
         s.fifoWriter = std::thread([&, path = makeFifo()] {
           const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
           EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
           close(fd);
         });
         return fifo;
       },
       0, nullptr, stored},
      // Nothing to write is refused before anything is sent.
      {"null device", [&](Scene&) { return deviceLike("null"); }, 4, "holds no data", {}},
      // It reads as endless zeros.
      {"full device", [&](Scene&) { return deviceLike("full"); }, 4, "larger than 16 MiB", {}},
      {"terminal",
       [&](Scene& s) {
         const std::string path = terminal(s);
         s.pty->Write(textBytes);
         s.pty->Write(Bytes{0x04});  // the end of input, at the start of a line
         return path;
       },
       0, nullptr, stored},
      {"link to the standard input",
       [&](Scene& s) {
         s.input = text;
         return link("/proc/self/fd/0");
       },
       0, nullptr, stored},
      {"directory", [&](Scene&) { return folder; }, 4, "is a directory", {}},
  };

  for (const auto& [action, cases, expected] :
       {std::tuple{"read", std::span<const Case>(reads), flash},
        std::tuple{"write", std::span<const Case>(writes), textBytes}}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(action) + " flash: " + c.kind);
      // A write can only clear bits: it starts from an erased chip.
      device.ModifyChip(Emulator::ChipNumber("ATtiny13A"), [&](emulator::ChipState& state) {
        state.flash = std::string_view(action) == "read" ? flash : Bytes(flash.size(), 0xFF);
      });
      Scene scene;
      const std::string path = c.make(scene);
      const NodeIdentity before = Identify(path);
      const CliRun run =
          Cli({"-p", "COM5", "-c", "ATtiny13A", action, "flash", QString::fromStdString(path)}, scene.input);
      EXPECT_EQ(run.status, c.status) << run.err;
      if (c.error) {
        EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
      }
      if (c.result) {
        EXPECT_EQ(c.result(scene, run), expected);
      }
      NodeIdentity after = Identify(path);
      if (before.finalType == 0) after.finalType = 0;  // a missing file has been made
      if (before.type != 0) {
        EXPECT_EQ(after, before);
      }
      std::error_code ignored;
      for (const char* made : {"file.bin", "link", "fifo", "null", "full"})
        std::filesystem::remove(folder + "/" + made, ignored);
    }
  }
}

// A trace that cannot be opened or written is told once, however many ports trace, in the
// program's own words, and the run goes on.
TEST_F(CliTest, ATraceThatCannotBeWrittenIsToldOnce) {
  AddDevice("COM5");
  AddDevice("COM6");
  const std::string full = config_.Path() + "/full";
  MakeDeviceLike(full, "full");
  const std::string nowhere = config_.Path() + "/no/such/folder/trace";
  for (const auto& [trace, problem] :
       {std::pair{full, "the trace " + full + " cannot be written: No space left on device"},
        std::pair{nowhere, "no trace: cannot open " + nowhere + ": No such file or directory"}}) {
    setenv("KESTREL_TRACE", trace.c_str(), 1);
    const CliRun run = Cli({"-p", "COM5", "-p", "COM6", "info"});
    unsetenv("KESTREL_TRACE");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "kestrel-cli: " + problem + "\n");
  }
}

}  // namespace
