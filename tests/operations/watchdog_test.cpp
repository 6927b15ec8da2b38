#include "operations/Connection.h"

#include <gtest/gtest.h>

#include "link/CommandQueue.h"
#include "link/Commands.h"
#include "tests/support/FakeView.h"

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
        Timer2Timer(link_.session);
      }
    }
  }

  int fired = 0;

 private:
  FakeLink& link_;
  int restartsSeen_ = 0;
  int elapsed_ = 0;
};

Bytes QueuedOpcodes(const Session& s) {
  Bytes opcodes;
  for (const QueuedCommand& c : s.queue.Entries()) opcodes.push_back(c.Data[0]);
  return opcodes;
}

}  // namespace

TEST(Watchdog, WithoutADeviceEachPeriodLeavesOneNameRequest) {
  FakeLink link;
  TestClock clock(link);
  FormShow(link.session);
  EXPECT_EQ(QueuedOpcodes(link.session), (Bytes{OpEndOperation, OpGetProgrammerName}));
  EXPECT_TRUE(link.view.queueWindowVisible);

  clock.Advance(4999);
  EXPECT_EQ(clock.fired, 0);
  clock.Advance(1);
  EXPECT_EQ(clock.fired, 1);
  EXPECT_EQ(link.view.caption, "Программатор не подключен");
  EXPECT_EQ(QueuedOpcodes(link.session), Bytes{OpGetProgrammerName});
  EXPECT_FALSE(link.view.queueWindowVisible);

  clock.Advance(5000);
  EXPECT_EQ(clock.fired, 2);
  EXPECT_EQ(QueuedOpcodes(link.session), Bytes{OpGetProgrammerName});
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_TRUE(link.written.frames.empty());
  EXPECT_TRUE(link.view.statusHistory.empty());
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
  GetRamSize(link.session.queue);
  link.Poll();
  clock.Advance(4000);
  link.Reply({0xF1, 1, 0, 0, 0});
  clock.Advance(1000);
  EXPECT_EQ(clock.fired, 1);
}

TEST(Watchdog, ALinkLossDropsTheOperationAndTheChipDependentLists) {
  FakeLink link;
  link.view.chips = {"A", "B"};
  link.view.commandRows = {"Читать сигнатуру"};
  link.view.lockDialog.CreateBitBoxes(2);
  link.view.fuseDialog.CreateBitBoxes(5);
  link.session.Chip.ProgramMemorySize = 8192;
  link.session.image.Assign(Bytes(1000, 0));
  link.view.SetStatusText("Все верно.");
  SelectChip(link.session.queue, 0);
  for (std::uint32_t a = 0; a < 1000; a += 224)
    WriteProgramMemory(link.session.queue, a, 224, link.session.image.DataBuffer());
  EndOperation(link.session.queue);
  link.session.queue.SendAttempts = 3;

  Timer2Timer(link.session);
  EXPECT_EQ(link.view.caption, "Программатор не подключен");
  EXPECT_EQ(QueuedOpcodes(link.session), Bytes{OpGetProgrammerName});
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_TRUE(link.view.chips.empty());
  EXPECT_TRUE(link.view.commandRows.empty());
  EXPECT_TRUE(link.view.lockDialog.boxes.empty());
  EXPECT_EQ(link.view.fuseDialog.boxes.size(), 5u);
  EXPECT_EQ(link.session.Chip.ProgramMemorySize, 8192u);
  EXPECT_EQ(link.session.queue.SendAttempts, 3);
  EXPECT_EQ(link.view.StatusText(), "Операция прервана!");
}

TEST(Watchdog, TheNextIntroductionReconnects) {
  FakeLink link;
  Timer2Timer(link.session);
  link.Poll();
  link.Reply({0xFE, 3, 'K', '-', '1'});
  EXPECT_EQ(link.view.caption, "K-1");
  EXPECT_EQ(QueuedOpcodes(link.session), (Bytes{OpGetInfoLineCount, OpGetChipCount}));
}
