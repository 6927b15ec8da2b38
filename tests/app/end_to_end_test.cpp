// The program against the emulated programmer over a pseudo-terminal: the real serial component,
// the real windows (offscreen) and the real core, driven through the lists and the dialogs.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <filesystem>

#include "app/Startup.h"
#include "app/TForm1.h"
#include "app/TForm3.h"
#include "app/TForm7.h"
#include "link/Commands.h"
#include "operations/forms/TBitDialog.h"
#include "tests/app/ProgramHarness.h"

using namespace kestrel;
using namespace kestrel::test;
using emulator::Emulator;

namespace {

using EndToEndTest = ProgramTest;

TEST_F(EndToEndTest, DiscoveryShowsTheProgrammerAndItsChips) {
  EXPECT_EQ(Form1->windowTitle().toStdString(), emulator::ProgrammerName());
  std::vector<std::string> lines;
  for (const QLabel* label : Form7->InfoLabels) lines.push_back(label->text().toStdString());
  EXPECT_EQ(lines, emulator::ProgrammerInfoLines());
  std::vector<std::string> chips;
  for (const auto& chip : Emulator::Catalogue()) chips.push_back(chip.name);
  EXPECT_EQ(Texts(Form1->ListBox1), chips);
  EXPECT_TRUE(boxes_.empty());
}

// Writes, verifies and reads back both memories of a chip.
class MemoryRoundTrip : public EndToEndTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MemoryRoundTrip, WriteVerifyAndReadBackBothMemories) {
  const std::size_t chip = Emulator::ChipNumber(GetParam());
  const emulator::ChipType& type = Emulator::Catalogue()[chip];

  // Selecting the chip: the requests in order, then the lists and the bit editors rebuilt.
  TakeReceived();
  Form1->ListBox1->setCurrentRow(int(chip));
  Key(Form1->ListBox1, QEvent::KeyPress, Qt::Key_Return);
  Key(Form1->ListBox1, QEvent::KeyRelease, Qt::Key_Return);
  WaitIdle();
  std::vector<std::string> expected{"SelectChip",      "GetCommandMask",       "GetLockBitCount",
                                    "GetFuseBitCount", "GetProgramMemorySize", "GetEepromSize",
                                    "GetRamSize"};
  expected.insert(expected.end(), type.locks.size(), "GetLockBitName");
  expected.insert(expected.end(), type.fuses.size(), "GetFuseBitName");
  EXPECT_EQ(TakeReceived(), expected);
  EXPECT_EQ(BoxNames(*Form4), type.locks);
  std::vector<std::string> fuseNames;
  for (const auto& fuse : type.fuses) fuseNames.push_back(fuse.name);
  EXPECT_EQ(BoxNames(*Form6), fuseNames);
  EXPECT_EQ(S().Chip().ProgramMemorySize, type.flashSize);
  EXPECT_EQ(S().Chip().EepromSize, type.eepromSize);
  std::vector<std::string> rows;
  for (int code = 0; code < 32; ++code)
    if (type.commandMask >> code & 1) rows.emplace_back(CommandCaption(static_cast<ChipCommand>(code)));
  EXPECT_EQ(Texts(Form1->ListBox2), rows);

  // Program memory from the working Intel HEX file, reloaded by the write itself: erase, write,
  // verify. On a chip above 64 KiB the image runs past its first 64 KiB.
  const Bytes image =
      Pattern(type.flashSize > 0x10000 ? type.flashSize - 30000 : type.flashSize * 3 / 4 + 5, 1);
  UseWorkingFile(image, "image.hex");
  SetOptions({1, 2, 3, 4});
  Choose(10);
  EXPECT_EQ(Status(), AllCorrectText);
  EXPECT_EQ(S().Image().DataBuffer(), image);
  Bytes flash = device_->Chip(chip).flash;
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
  EXPECT_TRUE(std::all_of(flash.begin() + image.size(), flash.end(), [](auto b) { return b == 0xFF; }));

  // Read back the whole memory.
  S().Image().Clear();
  Choose(9);
  EXPECT_EQ(S().Image().DataBuffer(), flash);

  // A byte changed behind the program's back: the verify names the first bad block.
  const std::uint32_t changed = 3 * 224 + 17;
  device_->ModifyChip(chip, [&](emulator::ChipState& state) { state.flash[changed] ^= 0x5A; });
  Choose(11);
  EXPECT_EQ(Status(), "Ошибка по адресу " + Hex(changed / 224 * 224) + ". Попробуйте программировать снова!");

  // EEPROM from the buffer as edited, without reloading: erase, write, verify, read back.
  const Bytes data = Pattern(type.eepromSize - 3, 7);
  S().Image().Assign(data);
  SetOptions({6, 7});
  Choose(14);
  EXPECT_EQ(Status(), AllCorrectText);
  const Bytes eeprom = device_->Chip(chip).eeprom;
  EXPECT_TRUE(std::equal(data.begin(), data.end(), eeprom.begin()));
  EXPECT_EQ(eeprom.back(), 0xFF);
  S().Image().Clear();
  Choose(13);
  EXPECT_EQ(S().Image().DataBuffer(), eeprom);
  EXPECT_EQ(device_->Chip(chip).flash[changed], flash[changed] ^ 0x5A) << "erasing the EEPROM left the flash";
  EXPECT_TRUE(boxes_.empty());
}

INSTANTIATE_TEST_SUITE_P(SmallAndLargeChip, MemoryRoundTrip, ::testing::Values("ATmega328P", "ATmega128A"));

TEST_F(EndToEndTest, SignatureFuseAndLockBitsAndEraseAll) {
  const std::size_t chip = Emulator::ChipNumber("ATmega328P");
  const emulator::ChipType& type = Emulator::Catalogue()[chip];
  SelectChip(chip);

  Choose(0, true);
  std::string signature = "Сигнатура:";
  for (const std::uint8_t byte : type.signature) signature += " " + Hex(byte);
  EXPECT_EQ(Status(), signature + " верна");

  // Fuse bits written from the dialog, every one, then read back into cleared boxes.
  Choose(4);
  ASSERT_TRUE(Form6->isVisible());
  ASSERT_TRUE(Form6->Button1->isEnabled());
  std::vector<bool> fuses(type.fuses.size());
  for (std::size_t i = 0; i < fuses.size(); ++i) Form6->BitBoxes[i]->setChecked(fuses[i] = i % 3 == 1);
  MouseUp(Form6->Button1);
  EXPECT_FALSE(Form6->isVisible());
  WaitIdle();
  Bytes stored = device_->Chip(chip).fuses;
  EXPECT_EQ(std::vector<bool>(stored.begin(), stored.end()), fuses);
  for (QCheckBox* box : Form6->BitBoxes) box->setChecked(true);
  Choose(3);
  EXPECT_FALSE(Form6->Button1->isEnabled());
  EXPECT_EQ(Form6->CheckedStates(), fuses);

  // Lock bits: the checked ones are programmed; the others stay as they were.
  Choose(6);
  ASSERT_TRUE(Form4->isVisible());
  for (QCheckBox* box : Form4->BitBoxes) box->setChecked(false);
  Form4->BitBoxes[0]->setChecked(true);
  Form4->BitBoxes[2]->setChecked(true);
  Key(Form4->Button1, QEvent::KeyPress, Qt::Key_Return);
  Key(Form4->Button1, QEvent::KeyRelease, Qt::Key_Return);
  WaitIdle();
  std::vector<bool> locks(type.locks.size());
  locks[0] = locks[2] = true;
  stored = device_->Chip(chip).locks;
  EXPECT_EQ(std::vector<bool>(stored.begin(), stored.end()), locks);
  for (QCheckBox* box : Form4->BitBoxes) box->setChecked(false);
  Choose(5);
  EXPECT_EQ(Form4->CheckedStates(), locks);

  // Erase all: both memories blank and the lock bits cleared.
  device_->ModifyChip(chip, [](emulator::ChipState& state) { state.flash[5] = state.eeprom[5] = 0; });
  Choose(7);
  const emulator::ChipState erased = device_->Chip(chip);
  EXPECT_TRUE(std::all_of(erased.flash.begin(), erased.flash.end(), [](auto b) { return b == 0xFF; }));
  EXPECT_TRUE(std::all_of(erased.eeprom.begin(), erased.eeprom.end(), [](auto b) { return b == 0xFF; }));
  Choose(5);
  EXPECT_EQ(Form4->CheckedStates(), std::vector<bool>(type.locks.size(), false));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(EndToEndTest, WriteWhoseWorkingFileCannotLoadLeavesTheChipAlone) {
  const std::size_t chip = Emulator::ChipNumber("ATmega8A");
  SelectChip(chip);
  device_->ModifyChip(chip, [](emulator::ChipState& state) { state.flash[0] = 0x42; });
  const emulator::ChipState before = device_->Chip(chip);
  S().Image().Assign(Bytes{1, 2, 3});
  S().Image().SetWorkingFileName(
      (std::filesystem::path(ProgramEnvironment::ConfigHome()) / "missing.bin").string());
  SetOptions({1, 2, 3});
  TakeReceived();
  Choose(10);
  EXPECT_EQ(boxes_, std::vector<std::string>{ReloadFailedText});
  EXPECT_EQ(TakeReceived(), std::vector<std::string>{"SelectChip"});
  EXPECT_EQ(device_->Chip(chip).flash, before.flash);
  EXPECT_NE(Status(), AllCorrectText);
  EXPECT_EQ(S().Image().DataBuffer(), (Bytes{1, 2, 3}));
}

}  // namespace
