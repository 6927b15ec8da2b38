#include "link/CommandQueue.h"

#include <gtest/gtest.h>

#include "link/Commands.h"
#include "operations/Connection.h"
#include "tests/support/FakeView.h"

using namespace kestrel;

namespace {

const char* const kGiveUp = "Не могу выполнить команду!\n\rОчередь команд очищена.";

void Queue(FakeLink& link, int count) {
  for (int i = 0; i < count; ++i) GetChipName(link.session.queue, i);
}

}  // namespace

TEST(CommandQueue, WindowShowsFromTheSecondEntryAndClosesWhenEmpty) {
  FakeLink link;
  GetRamSize(link.session.queue);
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_EQ(link.view.queueMaximum, 1);
  EXPECT_EQ(link.view.queuePosition, 1);

  GetRamSize(link.session.queue);
  EXPECT_TRUE(link.view.queueWindowVisible);
  EXPECT_EQ(link.view.queueMaximum, 2);
  EXPECT_EQ(link.view.queuePosition, 2);

  link.session.queue.DequeueCommand();
  EXPECT_TRUE(link.view.queueWindowVisible) << "stays down to the last entry";
  EXPECT_EQ(link.view.queueMaximum, 2);
  EXPECT_EQ(link.view.queuePosition, 1);

  link.session.queue.DequeueCommand();
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_EQ(link.view.queuePosition, 0);

  link.session.queue.DequeueCommand();  // empty: nothing happens
  EXPECT_TRUE(link.session.queue.Empty());
}

TEST(CommandQueue, BarRunsDownAsRepliesAreHandledAndRefillsWhileDraining) {
  FakeLink link;
  Queue(link, 10);
  EXPECT_EQ(link.view.queueMaximum, 10);
  EXPECT_EQ(link.view.queuePosition, 10);
  for (int handled = 1; handled <= 7; ++handled) {
    link.Poll();
    link.Reply({0xFA, 1, 'x'});
    EXPECT_EQ(link.view.queuePosition, 10 - handled);
    EXPECT_EQ(link.view.queueMaximum, 10);
  }
  GetRamSize(link.session.queue);
  EXPECT_EQ(link.view.queueMaximum, 4);
  EXPECT_EQ(link.view.queuePosition, 4);
  EXPECT_TRUE(link.view.queueWindowVisible);

  link.session.queue.ClearCommandQueue();
  EXPECT_TRUE(link.session.queue.Empty());
  EXPECT_EQ(link.view.queuePosition, 0);
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_EQ(link.view.chips.size(), 7u);
}

TEST(CommandQueue, EmptyAndOversizedPayloadsAreNotQueued) {
  FakeLink link;
  const Bytes big(256, 0x01);
  link.session.queue.EnqueueCommand(big.data(), 0);
  link.session.queue.EnqueueCommand(big.data(), 256);
  EXPECT_TRUE(link.session.queue.Empty());
  link.session.queue.EnqueueCommand(big.data(), 255);
  ASSERT_EQ(link.session.queue.Size(), 1u);
  EXPECT_EQ(link.session.queue.Entries()[0].Length, 255);
}

TEST(CommandQueue, PollOnAnEmptyQueueSendsNothing) {
  FakeLink link;
  link.session.queue.SendAttempts = 3;
  link.Poll();
  EXPECT_TRUE(link.written.frames.empty());
  EXPECT_EQ(link.session.queue.SendAttempts, 3);
  EXPECT_EQ(link.view.watchdogRestarts, 1);
}

TEST(CommandQueue, GivesUpAfterTheEighthSendWithoutAReply) {
  FakeLink link;
  FormShow(link.session);  // EndOperation, GetProgrammerName
  for (int poll = 1; poll <= 7; ++poll) {
    link.Poll();
    EXPECT_EQ(link.session.queue.SendAttempts, poll);
  }
  EXPECT_EQ(link.session.queue.Size(), 2u);
  EXPECT_TRUE(link.view.warnings.empty());

  link.Poll();
  ASSERT_EQ(link.written.frames.size(), 8u);
  for (const Bytes& frame : link.written.frames) EXPECT_EQ(frame, link.written.frames[0]);
  EXPECT_EQ(link.written.Opcodes()[0], OpEndOperation);
  EXPECT_TRUE(link.session.queue.Empty());
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_EQ(link.view.warnings, std::vector<std::string>{kGiveUp});
  EXPECT_EQ(link.session.queue.SendAttempts, 0);
  // Only programmer queries were dropped: no operation to call aborted.
  EXPECT_TRUE(link.view.statusHistory.empty());

  // A late answer to the eighth frame finds the queue empty.
  link.Reply({0xFF});
  EXPECT_TRUE(link.session.queue.Empty());

  // The next command gets its own eight sends.
  GetRamSize(link.session.queue);
  for (int poll = 1; poll <= 7; ++poll) link.Poll();
  EXPECT_EQ(link.session.queue.Size(), 1u);
  link.Poll();
  EXPECT_TRUE(link.session.queue.Empty());
  EXPECT_EQ(link.view.warnings.size(), 2u);
  EXPECT_EQ(link.written.frames.size(), 16u);
}

TEST(CommandQueue, GivingUpOnChipCommandsSaysTheOperationWasAborted) {
  FakeLink link;
  SelectChip(link.session.queue, 0);
  ReadSignature(link.session.queue);
  EndOperation(link.session.queue);
  link.view.SetStatusText("Все верно.");
  for (int poll = 0; poll < MaxSendAttempts; ++poll) link.Poll();
  EXPECT_TRUE(link.session.queue.Empty());
  EXPECT_EQ(link.view.StatusText(), "Операция прервана!");
  EXPECT_EQ(link.view.warnings.size(), 1u);
}

TEST(CommandQueue, ChunksDeliveredWhileTheWarningIsOpenAreScannedAndThenDropped) {
  FakeLink link;
  GetRamSize(link.session.queue);
  for (int poll = 0; poll < MaxSendAttempts - 1; ++poll) link.Poll();

  // While the give-up warning is open, the device polls again and a command is queued; its
  // frame goes out from the nested scan.
  link.view.duringWarning = [&] {
    link.view.duringWarning = nullptr;
    GetEepromSize(link.session.queue);
    link.Poll();
    const Bytes tail = {0xD1, 0xE0, 0xEB};  // the start of a frame, left in the buffer
    link.Receive(tail);
  };
  link.Poll();
  ASSERT_EQ(link.written.frames.size(), 9u);
  EXPECT_EQ(link.written.Opcodes().back(), OpGetEepromSize);
  EXPECT_EQ(link.session.queue.Size(), 1u);
  // The interrupted scan still ends by emptying the buffer.
  EXPECT_EQ(link.session.reception.FillCount(), 0);
  EXPECT_EQ(link.session.reception.ScanPos(), 0);
}
