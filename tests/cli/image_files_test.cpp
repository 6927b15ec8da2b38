#include "cli/ImageFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/buffer/AvrPrograms.h"
#include "tests/buffer/ScratchFiles.h"

using namespace kestrel;
using namespace kestrel::cli;

namespace {

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

TEST(ImageFiles, HexByNameInAnyCaseAndFaultsNameFileAndLine) {
  const ScratchDir dir;
  const std::string hex = dir.File("fw.HeX");
  WriteText(hex, ":0200000001AB52\r\n:00000001FF\r\n");
  EXPECT_EQ(LoadImage(hex, Memory::Flash).image, (Image{0x01, 0xAB}));

  const std::string raw = dir.File("fw.hex.bin");
  WriteText(raw, ":0200000001AB52\r\n");
  EXPECT_EQ(LoadImage(raw, Memory::Flash).image.size(), 17u);

  WriteText(hex, ":0200000001AB52\r\n:0200020001AB00\r\n:00000001FF\r\n");
  EXPECT_EQ(LoadImage(hex, Memory::Flash).error, hex + ": line 2: wrong checksum");
  EXPECT_EQ(LoadImage(dir.File("none.bin"), Memory::Flash).error, dir.File("none.bin") + ": no such file");

  Job job;
  job.actions = {Action{ActionKind::Info}, Action{ActionKind::Write, Memory::Flash, hex}};
  EXPECT_EQ(LoadInputImages(job).error, "write flash: " + hex + ": line 2: wrong checksum");
}

TEST(ImageFiles, SavedHexReadsBackAboveSixtyFourKilobytes) {
  const ScratchDir dir;
  Image image(0x10010);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
  const std::string hex = dir.File("big.hex");
  EXPECT_FALSE(SaveImage(hex, image));
  EXPECT_EQ(LoadImage(hex, Memory::Flash).image, image);
  EXPECT_EQ(SaveImage(dir.File("missing/x.bin"), image),
            dir.File("missing/x.bin") + ": no such file or directory");
  EXPECT_EQ(LoadImage(dir.Path().string(), Memory::Flash).error, dir.Path().string() + ": is a directory");
}

TEST(ImageFiles, ReadsIntoSRecordNamesAndNeverIntoElfNames) {
  const ScratchDir dir;
  Image image(0x10010);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 5);
  const std::string srec = dir.File("flash.SREC");
  EXPECT_FALSE(SaveImage(srec, image));
  EXPECT_EQ(ReadFile(srec)[1], '0');  // the S0 header first
  EXPECT_EQ(LoadImage(srec, Memory::Flash).image, image);

  // Refused before any port opens, and by the save itself.
  const std::string elf = dir.File("flash.elf");
  Job job;
  job.actions = {Action{ActionKind::Read, Memory::Eeprom, srec},
                 Action{ActionKind::Read, Memory::Flash, elf}};
  const std::string error = elf + ": ELF files are only read; name a .hex, .srec or binary file";
  EXPECT_EQ(LoadInputImages(job).error, "read flash: " + error);
  EXPECT_EQ(SaveImage(elf, image), error);
  EXPECT_FALSE(std::filesystem::exists(elf));
}

// ELF files the toolchain made: a write or verify takes the image of the memory it names, and the
// signature the file carries comes with it.
using ToolMadeInputs = AvrProgramsTest;

TEST_F(ToolMadeInputs, ElfFilesGiveTheImageOfTheMemoryNamed) {
  for (const AvrProgram& program : AvrPrograms) {
    const std::string elf = folder_->File(program.Elf());
    const std::string hex = folder_->File(program.FlashHex());
    Job job;
    job.actions = {Action{ActionKind::Write, Memory::Flash, elf}, Action{ActionKind::Info},
                   Action{ActionKind::Verify, Memory::Eeprom, elf},
                   Action{ActionKind::Verify, Memory::Flash, hex}};
    const LoadedInputs inputs = LoadInputImages(job);
    ASSERT_EQ(inputs.error, "") << program.chip;
    EXPECT_EQ(inputs.images[0], folder_->Image(program.FlashHex())) << program.chip;
    EXPECT_EQ(inputs.images[2], folder_->Image(program.EepromHex())) << program.chip;
    EXPECT_EQ(inputs.images[3], inputs.images[0]) << program.chip;
    EXPECT_EQ(inputs.signatures,
              (std::vector<std::optional<SignatureBytes>>{program.signature, {}, program.signature, {}}))
        << program.chip;
  }

  // No EEPROM data in the file: an error naming it, before any port opens.
  ASSERT_TRUE(folder_->Run("avr-objcopy -R .eeprom atmega328p.elf no-eeprom.elf"));
  Job job;
  job.actions = {Action{ActionKind::Write, Memory::Flash, folder_->File("no-eeprom.elf")},
                 Action{ActionKind::Write, Memory::Eeprom, folder_->File("no-eeprom.elf")}};
  EXPECT_EQ(LoadInputImages(job).error,
            "write eeprom: " + folder_->File("no-eeprom.elf") + ": no EEPROM data");
  // A malformed one names the reason.
  std::filesystem::copy_file(folder_->File("fw.c"), folder_->File("fw-source.elf"));
  EXPECT_EQ(LoadImage(folder_->File("fw-source.elf"), Memory::Flash).error,
            folder_->File("fw-source.elf") + ": not an ELF file");
}
