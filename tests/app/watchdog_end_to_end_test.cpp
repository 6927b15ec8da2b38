// The link watchdog on its real 5000 ms timer, in the whole program against the emulated
// programmer: the device falls silent, the program takes it as gone, and finds it again when
// its polls come back.

#include <gtest/gtest.h>

#include <QListWidget>

#include "app/Startup.h"
#include "app/TForm1.h"
#include "link/Commands.h"
#include "link/Watchdog.h"
#include "operations/forms/TBitDialog.h"
#include "tests/app/ProgramHarness.h"

using namespace kestrel;
using namespace kestrel::test;
using namespace std::chrono_literals;
using emulator::Emulator;

namespace {

using WatchdogEndToEnd = ProgramTest;

bool NotConnected() { return Form1->windowTitle().toStdString() == NotConnectedCaption; }

TEST_F(WatchdogEndToEnd, SilenceDisconnectsAndReturningPollsRediscover) {
  const std::size_t chip = Emulator::ChipNumber("ATmega8A");
  SelectChip(chip);
  const auto& type = Emulator::Catalogue()[chip];
  ASSERT_EQ(Form4->BitCount(), int(type.locks.size()));
  ASSERT_EQ(Form6->BitCount(), int(type.fuses.size()));
  ASSERT_GT(Form1->ListBox2->count(), 0);

  device_->SetSilent(true);
  ASSERT_TRUE(WaitFor(NotConnected, 8s));
  // Measured from the device's last poll; the toolkit's coarse timers fire within 5 % of their
  // interval.
  const auto waited = std::chrono::steady_clock::now() - LastPoll();
  EXPECT_GE(waited, std::chrono::milliseconds(WatchdogIntervalMs * 95 / 100));
  EXPECT_LE(waited, std::chrono::milliseconds(WatchdogIntervalMs * 105 / 100) + 200ms);

  EXPECT_EQ(Form1->ListBox1->count(), 0);
  EXPECT_EQ(Form1->ListBox2->count(), 0);
  EXPECT_EQ(Form4->BitCount(), 0) << "the lock boxes go with the chip";
  EXPECT_EQ(Form6->BitCount(), int(type.fuses.size())) << "the fuse boxes stay";
  EXPECT_EQ(S().QueuedOpcodes(), Bytes{OpGetProgrammerName});

  TakeReceived();
  device_->SetSilent(false);
  ASSERT_TRUE(Discovered(5s));
  EXPECT_EQ(Form1->windowTitle().toStdString(), emulator::ProgrammerName());
  const auto received = TakeReceived();
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received.front(), "GetProgrammerName");
  EXPECT_TRUE(boxes_.empty());
}

}  // namespace
