// The program against a programmer whose idle polls cross three commands in ten on the line,
// while the window is now and then busy for 120 ms: polls that the device sent before it had
// the whole command, and polls that waited behind the busy window, must not send the command
// again. A device that is ready by then would carry it out twice, and a chip name or a write
// confirmation carries nothing that tells its second answer from the next command's. Discovery
// of a long chip list and a 32 KiB erase and write, at full speed and paced at 56000 bit/s.

#include <gtest/gtest.h>

#include <QListWidget>
#include <QTimer>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <tuple>

#include "app/TForm1.h"
#include "emulator/FaultPlan.h"
#include "link/Commands.h"
#include "tests/app/ProgramHarness.h"

using namespace kestrel;
using namespace kestrel::test;
using namespace std::chrono_literals;
using emulator::Emulator;

namespace {

constexpr std::size_t kChips = 20;
constexpr double kCrossing = 0.3;
constexpr auto kBusy = 120ms;

// Seed, then the line rate (0: full speed).
using Line = std::tuple<std::uint64_t, std::uint32_t>;

class CrossedPolls : public ProgramTest, public ::testing::WithParamInterface<Line> {
 protected:
  void Configure(emulator::EmulatorOptions& options) override {
    options.faults.seed = std::get<0>(GetParam());
    options.faults.cross = kCrossing;
    options.baud = std::get<1>(GetParam());
    options.chipCount = kChips;
    faults_ = options.faults;
    // The window is held busy at random moments from the discovery on.
    random_.seed(options.faults.seed);
    busy_.setSingleShot(true);
    QObject::connect(&busy_, &QTimer::timeout, [this] {
      std::this_thread::sleep_for(kBusy);
      ++busyPeriods_;
      HoldBusyLater();
    });
    HoldBusyLater();
  }

  void TearDown() override {
    busy_.stop();
    ProgramTest::TearDown();
  }

  // Often enough to meet every stage of the short full-speed run, a few times a second when paced.
  void HoldBusyLater() {
    const int longest = std::get<1>(GetParam()) ? 900 : 150;
    busy_.start(std::uniform_int_distribution(longest / 10, longest)(random_));
  }

  // How many of the commands so far met a crossing poll.
  int Crossed() const {
    const emulator::FaultPlan plan(faults_);
    int crossed = 0;
    for (std::uint64_t command = 1; command <= device_->CommandsReceived(); ++command)
      crossed += plan.CrossingPoll(command) ? 1 : 0;
    return crossed;
  }

  emulator::FaultOptions faults_;
  std::mt19937 random_;
  QTimer busy_;
  int busyPeriods_ = 0;
};

TEST_P(CrossedPolls, NoCommandIsCarriedOutTwice) {
  std::vector<std::string> names;
  for (const auto& chip : emulator::ChipCatalogue(kChips)) names.push_back(chip.name);
  EXPECT_EQ(Texts(Form1->ListBox1), names) << "each row names the chip SelectChip(row) selects";
  EXPECT_EQ(device_->CommandsRepeated(), 0u) << "during the discovery";

  const std::size_t chip = Emulator::ChipNumber("ATmega328P");
  SelectChip(chip);
  std::mt19937 random(static_cast<unsigned>(std::get<0>(GetParam())));
  Bytes image(Emulator::Catalogue()[chip].flashSize);
  for (auto& byte : image) byte = static_cast<std::uint8_t>(random());
  S().Image().Assign(image);
  SetOptions({2});  // erase first; no verification
  Click(OpWriteProgramMemory);
  ASSERT_TRUE(WaitFor(Idle, 120s)) << S().QueuedOpcodes().size() << " commands still waiting";

  EXPECT_TRUE(device_->Chip(chip).flash == image) << "the chip differs from the image";
  EXPECT_EQ(device_->CommandsRepeated(), 0u);
  EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(boxes_);
  // The faults this run was about did happen.
  EXPECT_GT(Crossed(), 30);
  EXPECT_GT(busyPeriods_, 0);
}

std::string LineName(const ::testing::TestParamInfo<Line>& info) {
  const auto [seed, baud] = info.param;
  return "seed" + std::to_string(seed) + (baud ? "_" + std::to_string(baud) : "_fullspeed");
}

INSTANTIATE_TEST_SUITE_P(Seeds, CrossedPolls,
                         ::testing::Combine(::testing::Range<std::uint64_t>(1, 21),
                                            ::testing::Values(0u, 56000u)),
                         LineName);

}  // namespace
