#include "link/CommandQueue.h"

#include <gtest/gtest.h>

#include "link/Commands.h"
#include "link/Watchdog.h"
#include "tests/support/FakeLink.h"

using namespace kestrel;

namespace {

const char* const kGiveUp = "Не могу выполнить команду!\n\rОчередь команд очищена.";

}  // namespace

TEST(CommandQueue, WindowShowsFromTheSecondEntryAndClosesWhenEmpty) {
  LinkHarness link;
  GetRamSize(link.queue);
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_EQ(link.view.queueMaximum, 1);
  EXPECT_EQ(link.view.queuePosition, 1);

  GetRamSize(link.queue);
  EXPECT_TRUE(link.view.queueWindowVisible);
  EXPECT_EQ(link.view.queueMaximum, 2);
  EXPECT_EQ(link.view.queuePosition, 2);

  link.queue.DequeueCommand();
  EXPECT_TRUE(link.view.queueWindowVisible) << "stays down to the last entry";
  EXPECT_EQ(link.view.queueMaximum, 2);
  EXPECT_EQ(link.view.queuePosition, 1);

  link.queue.DequeueCommand();
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_EQ(link.view.queuePosition, 0);

  link.queue.DequeueCommand();  // empty: nothing happens
  EXPECT_TRUE(link.queue.Empty());
}

TEST(CommandQueue, BarRunsDownAsRepliesAreHandledAndRefillsWhileDraining) {
  LinkHarness link;
  for (int i = 0; i < 10; ++i) GetChipName(link.queue, i);
  EXPECT_EQ(link.view.queueMaximum, 10);
  EXPECT_EQ(link.view.queuePosition, 10);
  for (int handled = 1; handled <= 7; ++handled) {
    link.Poll();
    link.Reply({0xFA, 1, 'x'});
    EXPECT_EQ(link.view.queuePosition, 10 - handled);
    EXPECT_EQ(link.view.queueMaximum, 10);
  }
  GetRamSize(link.queue);
  EXPECT_EQ(link.view.queueMaximum, 4);
  EXPECT_EQ(link.view.queuePosition, 4);
  EXPECT_TRUE(link.view.queueWindowVisible);

  link.queue.ClearCommandQueue();
  EXPECT_TRUE(link.queue.Empty());
  EXPECT_EQ(link.view.queuePosition, 0);
  EXPECT_FALSE(link.view.queueWindowVisible);
  // Each reply went to the owner once, with the request it answered, in order.
  ASSERT_EQ(link.sink.replies.size(), 7u);
  for (std::uint8_t i = 0; i < 7; ++i)
    EXPECT_EQ(link.sink.replies[i], (HandledReply{{0xFA, 1, 'x'}, {OpGetChipName, i}}));
}

TEST(CommandQueue, EmptyAndOversizedPayloadsAreNotQueued) {
  LinkHarness link;
  const Bytes big(256, 0x01);
  link.queue.EnqueueCommand(big.data(), 0);
  link.queue.EnqueueCommand(big.data(), 256);
  EXPECT_TRUE(link.queue.Empty());
  link.queue.EnqueueCommand(big.data(), 255);
  ASSERT_EQ(link.queue.Size(), 1u);
  EXPECT_EQ(link.queue.Entries()[0].Length, 255);
}

TEST(CommandQueue, PollOnAnEmptyQueueSendsNothing) {
  LinkHarness link;
  link.queue.SendAttempts = 3;
  link.Poll();
  EXPECT_TRUE(link.written.frames.empty());
  EXPECT_EQ(link.queue.SendAttempts, 3);
  EXPECT_EQ(link.view.watchdogRestarts, 1);
}

TEST(CommandQueue, GivesUpAfterTheEighthSendWithoutAReply) {
  LinkHarness link;
  StartExchange(link.queue);  // EndOperation, GetProgrammerName
  for (int poll = 1; poll <= 7; ++poll) {
    link.Poll();
    EXPECT_EQ(link.queue.SendAttempts, poll);
  }
  EXPECT_EQ(link.queue.Size(), 2u);
  EXPECT_TRUE(link.view.warnings.empty());

  link.Poll();
  ASSERT_EQ(link.written.frames.size(), 8u);
  for (const Bytes& frame : link.written.frames) EXPECT_EQ(frame, link.written.frames[0]);
  EXPECT_EQ(link.written.Opcodes()[0], OpEndOperation);
  EXPECT_TRUE(link.queue.Empty());
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_EQ(link.view.warnings, std::vector<std::string>{kGiveUp});
  EXPECT_EQ(link.queue.SendAttempts, 0);
  // Only programmer queries were dropped: no operation to call aborted.
  EXPECT_TRUE(link.view.statusHistory.empty());

  // A late answer to the eighth frame finds the queue empty.
  link.Reply({0xFF});
  EXPECT_TRUE(link.sink.replies.empty());

  // The next command gets its own eight sends.
  GetRamSize(link.queue);
  for (int poll = 1; poll <= 7; ++poll) link.Poll();
  EXPECT_EQ(link.queue.Size(), 1u);
  link.Poll();
  EXPECT_TRUE(link.queue.Empty());
  EXPECT_EQ(link.view.warnings.size(), 2u);
  EXPECT_EQ(link.written.frames.size(), 16u);
}

TEST(CommandQueue, GivingUpOnChipCommandsSaysTheOperationWasAborted) {
  LinkHarness link;
  SelectChip(link.queue, 0);
  ReadSignature(link.queue);
  EndOperation(link.queue);
  link.view.SetStatusText("Все верно.");
  for (int poll = 0; poll < MaxSendAttempts; ++poll) link.Poll();
  EXPECT_TRUE(link.queue.Empty());
  EXPECT_EQ(link.view.StatusText(), "Операция прервана!");
  EXPECT_EQ(link.view.warnings.size(), 1u);
}

TEST(CommandQueue, ChunksDeliveredWhileTheWarningIsOpenAreScannedAndThenDropped) {
  LinkHarness link;
  GetRamSize(link.queue);
  for (int poll = 0; poll < MaxSendAttempts - 1; ++poll) link.Poll();

  // While the give-up warning is open, the device polls again and a command is queued; its
  // frame goes out from the nested scan.
  link.view.duringWarning = [&] {
    link.view.duringWarning = nullptr;
    GetEepromSize(link.queue);
    link.Poll();
    const Bytes tail = {0xD1, 0xE0, 0xEB};  // the start of a frame, left in the buffer
    link.Receive(tail);
  };
  link.Poll();
  ASSERT_EQ(link.written.frames.size(), 9u);
  EXPECT_EQ(link.written.Opcodes().back(), OpGetEepromSize);
  EXPECT_EQ(link.queue.Size(), 1u);
  // The interrupted scan still ends by emptying the buffer.
  EXPECT_EQ(link.reception.FillCount(), 0);
  EXPECT_EQ(link.reception.ScanPos(), 0);
}

// Stopping sends nothing new: a head on the line is still answered, the rest is dropped; a
// head not yet sent goes too.
TEST(CommandQueue, StopLetsOnlyTheCommandOnTheLineFinish) {
  LinkHarness link;
  for (int i = 0; i < 3; ++i) GetChipName(link.queue, i);
  link.queue.StopAfterHead();
  EXPECT_TRUE(link.queue.Empty()) << "nothing had gone out";

  for (int i = 0; i < 3; ++i) GetChipName(link.queue, i);
  link.Poll();
  link.queue.StopAfterHead();
  ASSERT_EQ(link.queue.Size(), 1u);
  EXPECT_EQ(link.view.queuePosition, 1);
  link.Reply({OpGetChipName, 0, 1, 'A'});
  link.Poll();
  EXPECT_TRUE(link.queue.Empty());
  EXPECT_EQ(link.written.Payloads(), (std::vector<Bytes>{{OpGetChipName, 0}}));
  EXPECT_EQ(link.sink.replies.size(), 1u);
}
