#include "buffer/BinaryFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "buffer/Abort.h"
#include "buffer/FileIo.h"
#include "buffer/SaveBuffer.h"
#include "buffer/WorkingFile.h"
#include "tests/buffer/AvrPrograms.h"
#include "tests/buffer/ScratchFiles.h"
#include "tests/support/FakeView.h"

using namespace kestrel;

namespace {

const std::string HexText = ":03001000010203E7\r\n:00000001FF\r\n";

class BinaryLoad : public ::testing::Test {
 protected:
  bool Load(const std::string& name) {
    t.image.SetWorkingFileName(dir.File(name));
    return LoadFile(t.image, understandHex);
  }
  ScratchDir dir;
  FakeImage t;
  bool understandHex = true;
};

}  // namespace

TEST_F(BinaryLoad, SmallFilesBecomeTheBufferByteForByte) {
  WriteFile(dir.File("five.bin"), Bytes{1, 2, 3, 4, 5});
  EXPECT_TRUE(Load("five.bin"));
  EXPECT_EQ(t.image.DataBuffer(), (Bytes{1, 2, 3, 4, 5}));

  WriteFile(dir.File("empty.bin"), Bytes{});
  t.view.formatGridCalls = 0;
  EXPECT_TRUE(Load("empty.bin"));
  EXPECT_TRUE(t.image.DataBuffer().empty());
  EXPECT_GE(t.view.formatGridCalls, 1);
  EXPECT_TRUE(t.view.warnings.empty());
}

TEST_F(BinaryLoad, SizeLimit) {
  Bytes content(MaxImageSize - 1);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 7);
  WriteFile(dir.File("fits.bin"), content);
  EXPECT_TRUE(Load("fits.bin"));
  EXPECT_EQ(t.image.DataBuffer(), content);
  EXPECT_TRUE(t.view.warnings.empty());

  // Exactly the limit and one byte more both warn and leave the buffer empty.
  for (std::size_t size : {MaxImageSize, MaxImageSize + 1, 3 * MaxImageSize}) {
    t.view.warnings.clear();
    WriteFile(dir.File("big.bin"), Bytes(size, 0x5A));
    EXPECT_FALSE(Load("big.bin")) << size;
    EXPECT_TRUE(t.image.DataBuffer().empty()) << size;
    EXPECT_EQ(t.view.warnings,
              std::vector<std::string>{"Вряд ли Вы хотите запрограммировать\n\rфайл такой длины!"})
        << size;
  }
}

TEST_F(BinaryLoad, ExtensionRuleAndHexOption) {
  const std::pair<FileFormat, std::vector<const char*>> names[] = {
      {FileFormat::IntelHex,
       {"/x/firmware.hex", "/x/firmware.HEX", "/x/firmware.Hex", ".hex", "a.ihx", "a.IHex"}},
      {FileFormat::SRecord, {"a.srec", "a.S19", "a.s28", "a.s37", "a.Mot"}},
      {FileFormat::Elf, {"/x/blink.ELF"}},
      {FileFormat::Binary, {"/x/hex", "/x.hex/plain", "/x/a.hex.bin", "/x/a.s20", "/x/a.elf2", "/x/a.bin"}},
  };
  for (const auto& [format, paths] : names) {
    for (const char* path : paths) {
      EXPECT_EQ(FileFormatOf(path, true), format) << path;
      EXPECT_EQ(FileFormatOf(path, false), FileFormat::Binary) << path;
    }
  }

  for (const char* name : {"firmware.hex", "firmware.HEX", "firmware.Hex"}) {
    WriteFile(dir.File(name), HexText);
    EXPECT_TRUE(Load(name));
    EXPECT_EQ(t.image.DataBuffer().size(), 19u) << name;
  }
  understandHex = false;
  EXPECT_TRUE(Load("firmware.hex"));
  EXPECT_EQ(t.image.DataBuffer(), Text(HexText));
}

TEST_F(BinaryLoad, RefusedFilesLeaveAnEmptyBuffer) {
  WriteFile(dir.File("old.bin"), Bytes(40, 1));
  ASSERT_TRUE(Load("old.bin"));

  EXPECT_FALSE(Load("missing.bin"));
  EXPECT_TRUE(t.image.DataBuffer().empty());
  try {
    Load("");
    ADD_FAILURE() << "a folder loaded";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find("это папка, а не файл"), std::string::npos) << error.what();
  }
  EXPECT_TRUE(t.image.DataBuffer().empty());
  EXPECT_TRUE(t.view.warnings.empty());

  // A malformed HEX file: the buffer stays empty and the status panel says why.
  ASSERT_TRUE(Load("old.bin"));
  WriteFile(dir.File("cut.hex"), std::string(":03001000010203E7\r\n"));
  EXPECT_THROW(Load("cut.hex"), EAbort);
  EXPECT_TRUE(t.image.DataBuffer().empty());
  EXPECT_EQ(t.view.StatusText(), "Ошибка в HEX-файле cut.hex, строка 1: нет записи конца файла");
  EXPECT_TRUE(t.view.warnings.empty());
}

TEST_F(BinaryLoad, MalformedFilesOfEveryFormatAreReportedInTheStatusPanel) {
  const struct {
    const char* name;
    std::string content;
    const char* report;
  } cases[] = {
      {"cut.ihx", ":03001000010203E7\r\n", "Ошибка в HEX-файле cut.ihx, строка 1: нет записи конца файла"},
      {"sum.S19", "S104000042B9\r\nS104000142B9\r\nS9030000FC\r\n",
       "Ошибка в SREC-файле sum.S19, строка 2: неверная контрольная сумма"},
      {"text.elf", "not an ELF file", "Ошибка в ELF-файле text.elf: это не ELF-файл"},
      {"wide.elf",
       "\x7F"
       "ELF\x02\x01\x01" +
           std::string(57, '\0'),
       "Ошибка в ELF-файле wide.elf: 64-разрядные ELF-файлы не поддерживаются"},
  };
  WriteFile(dir.File("old.bin"), Bytes(40, 1));
  for (const auto& c : cases) {
    ASSERT_TRUE(Load("old.bin"));
    WriteFile(dir.File(c.name), c.content);
    EXPECT_THROW(Load(c.name), EAbort) << c.name;
    EXPECT_TRUE(t.image.DataBuffer().empty()) << c.name;
    EXPECT_EQ(t.view.StatusText(), c.report);
    EXPECT_TRUE(t.view.warnings.empty()) << c.name;
  }
}

TEST_F(BinaryLoad, HexTextsUpTo4MiBAreRead) {
  // Text after the end record fills the file to exactly 4 MiB: it loads.
  std::string longHex = HexText;
  longHex.resize(4 * 1024 * 1024, '\n');
  WriteFile(dir.File("long.hex"), longHex);
  EXPECT_TRUE(Load("long.hex"));
  EXPECT_EQ(t.image.DataBuffer().size(), 19u);
  EXPECT_TRUE(t.view.warnings.empty());
  // One byte more gets the size warning.
  longHex.push_back('\n');
  WriteFile(dir.File("long.hex"), longHex);
  EXPECT_FALSE(Load("long.hex"));
  EXPECT_TRUE(t.image.DataBuffer().empty());
  EXPECT_EQ(t.view.warnings, std::vector<std::string>{SizeWarningText});
}

TEST_F(BinaryLoad, HiddenButtonLoadKeepsTheOldBufferWhenRefused) {
  WriteFile(dir.File("old.bin"), Bytes(40, 1));
  ASSERT_TRUE(Load("old.bin"));
  WriteFile(dir.File("big.bin"), Bytes(MaxImageSize, 0));
  t.image.SetWorkingFileName(dir.File("big.bin"));
  EXPECT_FALSE(LoadWorkingFileIntoBuffer(t.image, understandHex));
  EXPECT_EQ(t.image.DataBuffer(), Bytes(40, 1));
  EXPECT_EQ(t.view.warnings.size(), 1u);
  t.image.SetWorkingFileName(dir.File("missing.bin"));
  EXPECT_FALSE(LoadWorkingFileIntoBuffer(t.image, understandHex));
  EXPECT_EQ(t.image.DataBuffer(), Bytes(40, 1));
}

TEST_F(BinaryLoad, UnreadableFileIsAnErrorNamingIt) {
  if (::geteuid() == 0) GTEST_SKIP() << "running as root: file permissions do not stop reading";
  WriteFile(dir.File("locked.bin"), Bytes(4, 1));
  ::chmod(dir.File("locked.bin").c_str(), 0);
  try {
    Load("locked.bin");
    FAIL() << "no error";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find(dir.File("locked.bin")), std::string::npos) << error.what();
  }
}

TEST(BinarySave, ReplacesTheFileWithExactlyTheBuffer) {
  ScratchDir dir;
  const std::string path = dir.File("out.bin");
  WriteFile(path, Bytes(1000, 0x33));
  ::chmod(path.c_str(), 0640);
  const Bytes sixteen = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  ReplaceFileContents(path, sixteen);
  EXPECT_EQ(ReadFile(path), sixteen);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  ReplaceFileContents(path, {});
  EXPECT_TRUE(ReadFile(path).empty());
  EXPECT_TRUE(std::filesystem::exists(path));
  ReplaceFileContents(dir.File("new.bin"), sixteen);
  EXPECT_EQ(ReadFile(dir.File("new.bin")), sixteen);

  // Through a link the file it points to is replaced; the link stays.
  std::filesystem::create_symlink(path, dir.File("link.bin"));
  ReplaceFileContents(dir.File("link.bin"), Bytes{7});
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.bin")));
  EXPECT_EQ(ReadFile(path), Bytes{7});
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
}

TEST(BinarySave, FailuresNameTheFileAndLeaveTheOldOneIntact) {
  ScratchDir dir;
  const std::string readOnly = dir.File("read-only.bin");
  WriteFile(readOnly, Bytes(1000, 0x33));
  ::chmod(readOnly.c_str(), 0444);
  const auto expectError = [](const std::string& path) {
    try {
      ReplaceFileContents(path, Bytes(16, 0));
      ADD_FAILURE() << "no error for " << path;
    } catch (const FileError& error) {
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
  };
  expectError(readOnly);
  EXPECT_EQ(ReadFile(readOnly), Bytes(1000, 0x33));
  expectError(dir.File("no-such-folder/out.bin"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("no-such-folder")));
  expectError(dir.Path().string());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

namespace {

class SaveDialog : public ::testing::Test {
 protected:
  SaveDialog() {
    t.image.SetWorkingFileName(dir.File("work.bin"));
    t.image.Assign(Bytes(16, 0x42));
    t.image.SetBufferModified(true);
    WriteFile(dir.File("existing.bin"), Bytes(1000, 0x33));
  }
  bool Save(std::optional<std::string> chosen) {
    return SaveBufferAs(t.image, understandHex, [&](const std::string& proposed) {
      proposals.push_back(proposed);
      return chosen;
    });
  }
  ScratchDir dir;
  FakeImage t;
  bool understandHex = false;
  std::vector<std::string> proposals;
};

}  // namespace

TEST_F(SaveDialog, ProposesTheWorkingFileAndAsksBeforeOverwriting) {
  EXPECT_TRUE(Save(dir.File("new.bin")));
  EXPECT_EQ(proposals, std::vector<std::string>{dir.File("work.bin")});
  EXPECT_TRUE(t.view.questions.empty());
  EXPECT_EQ(ReadFile(dir.File("new.bin")), Bytes(16, 0x42));

  t.view.answers = {Answer::No};
  EXPECT_FALSE(Save(dir.File("existing.bin")));
  EXPECT_EQ(ReadFile(dir.File("existing.bin")), Bytes(1000, 0x33));
  t.view.answers = {Answer::Yes};
  EXPECT_TRUE(Save(dir.File("existing.bin")));
  EXPECT_EQ(ReadFile(dir.File("existing.bin")), Bytes(16, 0x42));
  EXPECT_EQ(t.view.questions, (std::vector<std::string>(2, "Перезаписать существующий файл?")));

  // With the HEX option off a .hex name gets raw bytes too; the working file and the flag stay.
  EXPECT_TRUE(Save(dir.File("image.hex")));
  EXPECT_EQ(ReadFile(dir.File("image.hex")), Bytes(16, 0x42));
  EXPECT_EQ(t.image.WorkingFileName(), dir.File("work.bin"));
  EXPECT_TRUE(t.image.BufferModified());
}

TEST_F(SaveDialog, HexNamesGetIntelHexThatLoadsBackByteForByte) {
  understandHex = true;
  for (const std::size_t size : {0, 0xFFFF, 0x10000, 0x10001, 200 * 1024}) {
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 13 + (i >> 12));
    t.image.Assign(image);
    t.view.answers = {Answer::Yes};
    ASSERT_TRUE(Save(dir.File("saved.Hex")));

    // One record a CR LF line: full 16-byte data records but the last, a linear address record
    // where each 64 KiB above the first begins, the end record last.
    const Bytes bytes = ReadFile(dir.File("saved.Hex"));
    std::string text(bytes.begin(), bytes.end());
    std::vector<std::string> addressRecords;
    std::size_t dataRecords = 0, fullRecords = 0;
    std::string last;
    for (std::size_t at = 0, end; at < text.size(); at = end + 2) {
      end = text.find("\r\n", at);
      ASSERT_NE(end, std::string::npos) << size;
      last = text.substr(at, end - at);
      ASSERT_EQ(last.find_first_of("\r\n"), std::string::npos) << size;
      if (last.starts_with(":02000004")) addressRecords.push_back(last);
      if (last.substr(7, 2) == "00") ++dataRecords, fullRecords += last.starts_with(":10");
    }
    EXPECT_EQ(last, ":00000001FF") << size;
    EXPECT_EQ(dataRecords, (size + 15) / 16) << size;
    EXPECT_EQ(fullRecords, size / 16) << size;
    const std::vector<std::string> linear = {":020000040001F9", ":020000040002F8", ":020000040003F7"};
    EXPECT_EQ(addressRecords,
              std::vector(linear.begin(), linear.begin() + (size + 0xFFFF) / 0x10000 - (size != 0)))
        << size;

    t.image.SetWorkingFileName(dir.File("saved.Hex"));
    t.image.Assign(Bytes{1, 2, 3});
    ASSERT_TRUE(LoadFile(t.image, understandHex)) << size;
    EXPECT_EQ(t.image.DataBuffer(), image) << size;
  }
  // Other names stay raw.
  ASSERT_TRUE(Save(dir.File("saved.bin")));
  EXPECT_EQ(ReadFile(dir.File("saved.bin")), t.image.DataBuffer());
}

TEST_F(SaveDialog, CancelledDialogLeavesTheDiskUnchanged) {
  const auto before = std::distance(std::filesystem::directory_iterator(dir.Path()), {});
  EXPECT_FALSE(Save(std::nullopt));
  EXPECT_FALSE(Save(std::string()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), before);
  EXPECT_TRUE(t.view.questions.empty());
}

TEST_F(SaveDialog, AnEmptyBufferWritesAnEmptyFile) {
  t.image.Clear();
  t.view.answers = {Answer::Yes};
  EXPECT_TRUE(Save(dir.File("existing.bin")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("existing.bin")));
  EXPECT_TRUE(ReadFile(dir.File("existing.bin")).empty());
}

TEST_F(SaveDialog, SRecordNamesGetSRecordsAndElfNamesAreRefused) {
  understandHex = true;
  Bytes image(0x10010);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
  t.image.Assign(image);
  ASSERT_TRUE(Save(dir.File("saved.S28")));
  const Bytes text = ReadFile(dir.File("saved.S28"));
  EXPECT_EQ(std::string(text.begin(), text.begin() + 4), "S00C");  // the name "saved.S28"
  t.image.SetWorkingFileName(dir.File("saved.S28"));
  t.image.Clear();
  ASSERT_TRUE(LoadFile(t.image, understandHex));
  EXPECT_EQ(t.image.DataBuffer(), image);

  // ELF files are only read: a warning, no question, nothing written.
  WriteFile(dir.File("old.elf"), Bytes(10, 0x33));
  EXPECT_FALSE(Save(dir.File("old.elf")));
  EXPECT_FALSE(Save(dir.File("new.ELF")));
  EXPECT_EQ(t.view.warnings, std::vector<std::string>(2, ElfNotWrittenWarning));
  EXPECT_TRUE(t.view.questions.empty());
  EXPECT_EQ(ReadFile(dir.File("old.elf")), Bytes(10, 0x33));
  EXPECT_FALSE(std::filesystem::exists(dir.File("new.ELF")));
}

// The browser's choice of files the toolchain made: an ELF file loads its program memory and says
// when it holds EEPROM data; an S-record file loads its image.
class ToolMadeWorkingFiles : public AvrProgramsTest {
 protected:
  FakeImage t;
};

TEST_F(ToolMadeWorkingFiles, ElfAndSRecordFilesLoadTheProgramMemory) {
  for (const AvrProgram& program : AvrPrograms) {
    const std::string elf = folder_->File(program.Elf());
    const Bytes flash = folder_->Image(program.FlashHex());
    ASSERT_TRUE(ChooseWorkingFile(t.image, elf, /*understandHex=*/true)) << program.chip;
    EXPECT_EQ(t.image.DataBuffer(), flash) << program.chip;
    EXPECT_EQ(t.view.StatusText(),
              "Рабочий файл: " + elf + ". В файле есть данные EEPROM: 26 байт, они не загружены");

    const std::string stripped = std::string(program.chip) + "-no-eeprom.elf";
    const std::string srec = std::string(program.chip) + ".srec";
    ASSERT_TRUE(folder_->Run("avr-objcopy -R .eeprom " + program.Elf() + " " + stripped));
    ASSERT_TRUE(folder_->Run("avr-objcopy -O srec -R .eeprom -R .fuse -R .lock -R .signature " +
                             program.Elf() + " " + srec));
    for (const std::string& name : {stripped, srec}) {
      ASSERT_TRUE(ChooseWorkingFile(t.image, folder_->File(name), true)) << name;
      EXPECT_EQ(t.image.DataBuffer(), flash) << name;
      EXPECT_EQ(t.view.StatusText(), "Рабочий файл: " + folder_->File(name));
    }
    // Not understood, an ELF file is its own bytes.
    ASSERT_TRUE(ChooseWorkingFile(t.image, elf, false));
    EXPECT_EQ(t.image.DataBuffer(), folder_->Read(program.Elf()));
  }
  EXPECT_TRUE(t.view.warnings.empty());
}
