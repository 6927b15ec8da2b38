// The program against a programmer whose line is bad: noise, spoiled and lost replies, replies in
// pieces, and a device that stalls past the watchdog in the middle of a write. Whatever happens,
// "Все верно." is never shown over a chip that differs from the image.

#include <gtest/gtest.h>

#include <QListWidget>
#include <algorithm>
#include <iostream>
#include <random>

#include "app/TForm1.h"
#include "link/Commands.h"
#include "link/Watchdog.h"
#include "tests/app/ProgramHarness.h"

using namespace kestrel;
using namespace kestrel::test;
using namespace std::chrono_literals;
using emulator::Emulator;

namespace {

const std::string kAborted = "Операция прервана!";
const std::string kGiveUp = "Не могу выполнить команду!\n\rОчередь команд очищена.";
constexpr std::size_t kBlock = 224;

std::string MismatchText(std::uint32_t address) {
  return "Ошибка по адресу " + Hex(address) + ". Попробуйте программировать снова!";
}

Bytes RandomBytes(std::size_t length, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  Bytes bytes(length);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

std::size_t FlashChip() { return Emulator::ChipNumber("ATmega328P"); }

// 1 % of frames with noise ahead, 1 % of replies spoiled (half in the header sum, half in the
// payload sum), 1 % of replies lost, and a tenth of all replies in pieces.
class FaultyLine : public ProgramTest, public ::testing::WithParamInterface<std::uint64_t> {
 protected:
  void Configure(emulator::EmulatorOptions& options) override {
    options.faults.seed = GetParam();
    options.faults.noise = 0.01;
    options.faults.badHeader = 0.005;
    options.faults.badPayload = 0.005;
    options.faults.drop = 0.01;
    options.faults.split = 0.1;
  }
};

// Erases, writes and verifies a full 32 KiB image loaded from the working file. The run ends
// either verified, with the chip holding the image, or with an error that tells the truth.
TEST_P(FaultyLine, WriteAndVerifyEndsCorrectOrSaysItFailed) {
  const std::size_t chip = FlashChip();
  SelectChip(chip);
  const Bytes image = RandomBytes(Emulator::Catalogue()[chip].flashSize, GetParam());
  device_->ModifyChip(
      chip, [&](emulator::ChipState& state) { state.flash = RandomBytes(state.flash.size(), ~GetParam()); });
  UseWorkingFile(image, "image.bin");
  SetOptions({1, 2, 3});
  Click(OpWriteProgramMemory);
  ASSERT_TRUE(WaitFor([&] { return Idle() || !boxes_.empty(); })) << S().QueuedOpcodes().size() << " waiting";
  ASSERT_TRUE(WaitFor(Idle, 10s));

  const Bytes flash = device_->Chip(chip).flash;
  const std::string status = Status();
  std::cout << "seed " << GetParam() << ": " << status << ", " << device_->CommandsReceived() << " commands"
            << (boxes_.empty() ? "" : ", warned: " + boxes_.front()) << '\n';
  if (status == AllCorrectText) {
    EXPECT_TRUE(flash == image) << "verified over a chip that differs from the image";
    EXPECT_TRUE(boxes_.empty());
    return;
  }
  // A mismatch names a block that really differs; an abort comes from the watchdog or the give-up.
  const auto bad = std::mismatch(image.begin(), image.end(), flash.begin()).first - image.begin();
  const bool named = status == MismatchText(static_cast<std::uint32_t>(bad / kBlock * kBlock));
  const bool gaveUp = std::find(boxes_.begin(), boxes_.end(), kGiveUp) != boxes_.end();
  EXPECT_TRUE(named || status == kAborted || gaveUp)
      << "status \"" << status << "\", boxes " << ::testing::PrintToString(boxes_);
}

INSTANTIATE_TEST_SUITE_P(Seeds, FaultyLine, ::testing::Range<std::uint64_t>(1, 21));

// The device stalls 6 s on a block in the middle of a write: the watchdog takes the link as
// lost, the rest of the write goes, and once the device answers again the discovery starts over.
class StalledWrite : public ProgramTest {
 protected:
  static constexpr std::uint64_t kStalledCommand = 120;
  void Configure(emulator::EmulatorOptions& options) override {
    options.faults.stallAfter = kStalledCommand;
    options.faults.stallFor = 6000ms;
  }
};

TEST_F(StalledWrite, EndsTheOperationAndRediscovers) {
  const std::size_t chip = FlashChip();
  SelectChip(chip);
  // The write's blocks begin before the stalled command and run past it.
  ASSERT_LT(device_->CommandsReceived() + 5, kStalledCommand);
  const Bytes image = RandomBytes(Emulator::Catalogue()[chip].flashSize, 99);
  UseWorkingFile(image, "image.bin");
  SetOptions({1, 2, 3});
  Click(OpWriteProgramMemory);
  ASSERT_EQ(Status(), AllCorrectText) << "queued with the verification";

  ASSERT_TRUE(WaitFor([] { return Form1->windowTitle().toStdString() == NotConnectedCaption; }, 10s));
  EXPECT_EQ(Status(), kAborted);
  EXPECT_EQ(Form1->ListBox1->count(), 0);
  EXPECT_EQ(Form1->ListBox2->count(), 0);
  EXPECT_EQ(S().QueuedOpcodes(), Bytes{OpGetProgrammerName});
  const Bytes flash = device_->Chip(chip).flash;
  EXPECT_FALSE(flash == image) << "the write was cut short";

  ASSERT_TRUE(Discovered(5s)) << "caption " << Form1->windowTitle().toStdString();
  EXPECT_EQ(Form1->windowTitle().toStdString(), emulator::ProgrammerName());
  EXPECT_EQ(Status(), kAborted);
  EXPECT_TRUE(device_->Chip(chip).flash == flash) << "nothing of the dropped write went out afterwards";
  EXPECT_TRUE(boxes_.empty());
}

}  // namespace
