// The memory image's files on Windows: bytes stay bytes (no text-mode translation), UTF-8 names
// reach the file system as the names they spell (the save's overwrite question included), and
// failures name the file and leave it intact.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "buffer/FileIo.h"
#include "buffer/MemoryImage.h"
#include "buffer/SaveBuffer.h"
#include "tests/buffer/ScratchFiles.h"
#include "tests/support/FakeView.h"

#include <windows.h>

namespace kestrel {
namespace {

namespace fs = std::filesystem;

// The FileError text that `action` raises; empty when it raises none.
template <typename Action>
std::string ErrorOf(Action action) {
  try {
    action();
  } catch (const FileError& error) {
    return error.what();
  }
  return "";
}

TEST(Win32FileIo, BytesGoThroughUnchangedUnderACyrillicName) {
  ScratchDir dir;
  const std::string path = dir.Path().string() + "\\Прошивка.bin";
  const Bytes bytes = {'\r', '\n', '\n', 0x1A, 0x00, 0xFF, '\r', 0x1A, 'x', '\n'};

  ReplaceFileContents(path, bytes);
  EXPECT_TRUE(fs::exists(dir.Path() / fs::path(u8"Прошивка.bin")));
  EXPECT_EQ(ReadFileBytes(path, 1000), bytes);
  EXPECT_EQ(ReadFileBytes(path, 3), Bytes(bytes.begin(), bytes.begin() + 3));

  ReplaceFileContents(path, Bytes{7, 8});
  EXPECT_EQ(ReadFileBytes(path, 1000), (Bytes{7, 8}));
  ReplaceFileContents(path, {});
  EXPECT_EQ(ReadFileBytes(path, 1000), Bytes{});
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);
}

TEST(Win32FileIo, DevicesAreStreamsFoldersAreRefusedAndFailuresKeepTheOldFile) {
  ScratchDir dir;
  EXPECT_EQ(ReadFileBytes(dir.File("missing.bin"), 10), std::nullopt);
  const std::string readFolder = ErrorOf([&] { ReadFileBytes(dir.Path().string(), 10); });
  EXPECT_NE(readFolder.find("это папка, а не файл"), std::string::npos) << readFolder;
  // NUL is a device: it reads as empty and takes a save where it is.
  EXPECT_EQ(ReadFileBytes("NUL", 10), Bytes{});
  ReplaceFileContents("NUL", Bytes(4, 0));

  const std::string readOnly = dir.File("read-only.bin");
  WriteFile(readOnly, Bytes(100, 0x33));
  ASSERT_TRUE(SetFileAttributesW(fs::path(readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
  const std::string refused = ErrorOf([&] { ReplaceFileContents(readOnly, Bytes(4, 0)); });
  SetFileAttributesW(fs::path(readOnly).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_NE(refused.find(readOnly), std::string::npos) << refused;
  EXPECT_NE(refused.find("нет прав доступа"), std::string::npos) << refused;
  EXPECT_EQ(ReadFile(readOnly), Bytes(100, 0x33));

  const std::string folder = ErrorOf([&] { ReplaceFileContents(dir.Path().string(), Bytes(4, 0)); });
  EXPECT_NE(folder.find("это папка, а не файл"), std::string::npos) << folder;
  const std::string nowhere =
      ErrorOf([&] { ReplaceFileContents(dir.File("no\\such\\folder.bin"), Bytes(4, 0)); });
  EXPECT_NE(nowhere.find("нет такой папки"), std::string::npos) << nowhere;
}

TEST(Win32FileIo, SavingOverAFileWithACyrillicNameAsksFirst) {
  ScratchDir dir;
  const std::string path = dir.Path().string() + "\\Прошивка.bin";
  ReplaceFileContents(path, Bytes(8, 0x33));
  FakeImage t;
  t.image.Assign(Bytes(4, 0x42));
  t.view.answers = {Answer::No};
  EXPECT_FALSE(SaveBufferAs(t.image, false, [&](const std::string&) { return path; }));
  EXPECT_EQ(t.view.questions, std::vector<std::string>{"Перезаписать существующий файл?"});
  EXPECT_EQ(ReadFileBytes(path, 100), Bytes(8, 0x33));
}

}  // namespace
}  // namespace kestrel
