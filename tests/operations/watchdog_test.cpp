// The watchdog's timeout as the session takes it: the link counts as lost, the work and the
// chip-dependent lists are dropped, and the programmer is asked for anew.

#include <gtest/gtest.h>

#include "link/CommandCatalogue.h"
#include "link/CommandQueue.h"
#include "link/Watchdog.h"
#include "operations/Session.h"
#include "tests/support/FakeLink.h"

using namespace kestrel;

namespace {

// Timer2 as the toolkit runs it: a 5000 ms period that every restart begins anew.
class TestClock {
 public:
  explicit TestClock(FakeLink& link) : link_(link) {}

  void Advance(int ms) {
    for (int step = 0; step < ms; ++step) {
      if (link_.view.watchdogRestarts != restartsSeen_) {
        restartsSeen_ = link_.view.watchdogRestarts;
        elapsed_ = 0;
      }
      if (++elapsed_ == WatchdogIntervalMs) {
        elapsed_ = 0;
        ++fired;
        link_.session.WatchdogExpired();
      }
    }
  }

  int fired = 0;

 private:
  FakeLink& link_;
  int restartsSeen_ = 0;
  int elapsed_ = 0;
};

}  // namespace

TEST(Watchdog, WithoutADeviceEachPeriodLeavesOneNameRequest) {
  FakeLink link;
  TestClock clock(link);
  link.session.Start();
  EXPECT_EQ(link.view.queuePosition, 2);  // EndOperation, GetProgrammerName
  EXPECT_TRUE(link.view.queueWindowVisible);

  clock.Advance(4999);
  EXPECT_EQ(clock.fired, 0);
  clock.Advance(1);
  EXPECT_EQ(clock.fired, 1);
  EXPECT_EQ(link.view.caption, "Программатор не подключен");
  EXPECT_EQ(link.view.queuePosition, 1);
  EXPECT_FALSE(link.view.queueWindowVisible);

  clock.Advance(5000);
  EXPECT_EQ(clock.fired, 2);
  EXPECT_EQ(link.view.queuePosition, 1);
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_TRUE(link.written.frames.empty());
  EXPECT_TRUE(link.view.statusHistory.empty());

  // The one entry left is the name request.
  link.Poll();
  EXPECT_EQ(link.written.Payloads(), std::vector<Bytes>{{OpGetProgrammerName}});
}

TEST(Watchdog, PollsEverySecondKeepItFromFiring) {
  FakeLink link;
  TestClock clock(link);
  for (int second = 0; second < 30; ++second) {
    link.Poll();
    clock.Advance(1000);
  }
  EXPECT_EQ(clock.fired, 0);
  // Replies do not restart it.
  link.session.SelectChip(0);
  link.Poll();
  clock.Advance(4000);
  link.Reply({OpSelectChip});
  clock.Advance(1000);
  EXPECT_EQ(clock.fired, 1);
}

TEST(Watchdog, ALinkLossDropsTheOperationAndTheChipDependentLists) {
  FakeLink link;
  ScriptedDevice device;
  device.chips = {{.name = "A",
                   .commands = {ChipCommand::ReadSignature, ChipCommand::WriteProgramMemory},
                   .fuseBits = {"f0", "f1", "f2", "f3", "f4"},
                   .lockBits = {"l0", "l1"},
                   .programMemorySize = 8192},
                  {.name = "B"}};
  link.session.Start();
  link.Serve(device);
  link.session.SelectChip(0);
  link.Serve(device);
  link.session.Image().Assign(Bytes(1000, 0));
  link.session.Run(0, ChipCommand::WriteProgramMemory);
  link.view.SetStatusText("Все верно.");
  for (int send = 0; send < 3; ++send) link.Poll();  // the selection goes out three times unanswered

  link.session.WatchdogExpired();
  EXPECT_EQ(link.view.caption, "Программатор не подключен");
  EXPECT_EQ(link.view.queuePosition, 1);
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_TRUE(link.view.chips.empty());
  EXPECT_TRUE(link.view.commandRows.empty());
  EXPECT_TRUE(link.view.lockDialog.boxes.empty());
  EXPECT_EQ(link.view.fuseDialog.boxes.size(), 5u);
  EXPECT_EQ(link.view.StatusText(), "Операция прервана!");

  const ProgrammerInfo& programmer = link.session.Programmer();
  EXPECT_FALSE(programmer.Introduced);
  EXPECT_TRUE(programmer.Name.empty());
  EXPECT_TRUE(programmer.Chips.empty());
  const ChipProperties& chip = link.session.Chip();
  EXPECT_TRUE(chip.RowCommands.empty());
  EXPECT_TRUE(chip.LockBitNames.empty());
  EXPECT_EQ(chip.FuseBitNames.size(), 5u);
  EXPECT_EQ(chip.ProgramMemorySize, 8192u);

  // The sends of the dropped head still count: the name request is given up after the rest of
  // the eight.
  link.written.frames.clear();
  for (int send = 3; send < MaxSendAttempts - 1; ++send) link.Poll();
  EXPECT_TRUE(link.view.warnings.empty());
  link.Poll();
  EXPECT_EQ(link.written.frames.size(), 5u);
  EXPECT_EQ(link.view.warnings.size(), 1u);
  EXPECT_FALSE(link.session.Busy());
}

TEST(Watchdog, TheNextIntroductionReconnects) {
  FakeLink link;
  link.session.WatchdogExpired();
  link.Poll();
  link.Reply({0xFE, 3, 'K', '-', '1'});
  EXPECT_EQ(link.view.caption, "K-1");
  EXPECT_TRUE(link.session.Programmer().Introduced);
  link.Poll();
  link.Reply({0xFD, 0});
  link.Poll();
  EXPECT_EQ(link.written.Payloads(),
            (std::vector<Bytes>{{OpGetProgrammerName}, {OpGetInfoLineCount}, {OpGetChipCount}}));
}
