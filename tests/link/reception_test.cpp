#include "link/Reception.h"

#include <gtest/gtest.h>

#include "link/CommandQueue.h"
#include "link/Commands.h"
#include "link/Frame.h"
#include "link/LineTiming.h"
#include "tests/support/FakeLink.h"

using namespace kestrel;

namespace {

const Bytes kNameReply{0xFA, 3, 'A', 'B', 'C'};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Poll() {
  const auto poll = PollFrame();
  return Bytes(poll.begin(), poll.end());
}

// kNameReply handed to the owner as the answer to GetChipName(index).
HandledReply NameReplyTo(std::uint8_t index) { return {kNameReply, {OpGetChipName, index}}; }

}  // namespace

TEST(Reception, AReplySplitAnywhereIsHandledOnceWhenItsLastByteArrives) {
  const Bytes frame = ComposeFrame(kNameReply);
  for (std::size_t cut = 1; cut < frame.size(); ++cut) {
    LinkHarness link;
    GetChipName(link.queue, 0);
    link.Receive({frame.data(), cut});
    EXPECT_TRUE(link.sink.replies.empty()) << cut;
    link.Receive({frame.data() + cut, frame.size() - cut});
    EXPECT_EQ(link.sink.replies, std::vector{NameReplyTo(0)}) << cut;
    EXPECT_TRUE(link.queue.Empty()) << cut;
    EXPECT_EQ(link.reception.FillCount(), 0) << cut;
  }
}

TEST(Reception, AReplyFollowedByAPollAdvancesTheQueueAndSendsTheNewHead) {
  LinkHarness link;
  GetChipName(link.queue, 0);
  GetRamSize(link.queue);
  link.Receive(Concat({ComposeFrame(kNameReply), Poll()}));
  EXPECT_EQ(link.sink.replies, std::vector{NameReplyTo(0)});
  EXPECT_EQ(link.written.Opcodes(), Bytes{OpGetRamSize});
  EXPECT_EQ(link.reception.Reply().size(), kNameReply.size());
  EXPECT_EQ(link.view.watchdogRestarts, 1);
}

// Bytes behind a poll that are no frame, such as a payload sum after the empty frame or the start
// of one that is not whole, go with the poll. (A poll with a frame behind it: below.)
TEST(Reception, BytesAfterAPollAreDiscarded) {
  LinkHarness link;
  GetChipName(link.queue, 0);
  link.Receive(Concat({Poll(), Bytes{0x00, 0xD1, 0xE0, 0xEB, 0xEE, 0x0B}}));
  EXPECT_EQ(link.written.frames.size(), 1u);
  EXPECT_EQ(link.reception.FillCount(), 0);
  // A payload checksum the device may send after its poll is passed over later.
  link.Receive(Concat({Bytes{0x00}, ComposeFrame(kNameReply)}));
  EXPECT_EQ(link.sink.replies, std::vector{NameReplyTo(0)});
}

TEST(Reception, NoiseBeforeAMarkerIsPassedOver) {
  LinkHarness link;
  GetChipName(link.queue, 0);
  link.Receive(Concat({Bytes{0x00, 0xD1, 0xE0}, ComposeFrame(kNameReply)}));
  EXPECT_EQ(link.sink.replies, std::vector{NameReplyTo(0)});
}

TEST(Reception, ABadHeaderHoldsTheRestUntilTheNextChunk) {
  LinkHarness link;
  GetChipName(link.queue, 0);
  GetChipName(link.queue, 1);
  Bytes bad = ComposeFrame(kNameReply);
  bad[5] ^= 0x01;
  link.Receive(Concat({bad, ComposeFrame(kNameReply)}));
  EXPECT_TRUE(link.sink.replies.empty());
  link.Receive(Bytes{0x55});
  EXPECT_EQ(link.sink.replies, std::vector{NameReplyTo(0)});
}

TEST(Reception, ABadPayloadSumIsDroppedAndTheSearchGoesOnAtOnce) {
  LinkHarness link;
  GetChipName(link.queue, 0);
  Bytes bad = ComposeFrame(kNameReply);
  bad.back() ^= 0x01;
  link.Receive(Concat({bad, ComposeFrame(kNameReply)}));
  EXPECT_EQ(link.sink.replies, std::vector{NameReplyTo(0)});
  EXPECT_TRUE(link.queue.Empty());
}

TEST(Reception, NoiseThatLooksLikeALongFrameDelaysButDoesNotLoseWhatFollows) {
  LinkHarness link;
  GetChipName(link.queue, 0);
  // A marker with a valid header announcing 200 bytes, then a real reply inside its reach.
  Bytes fake{0xD1, 0xE0, 0xEB, 0xEE, 200, static_cast<std::uint8_t>(0x8A + 200)};
  link.Receive(Concat({fake, ComposeFrame(kNameReply)}));
  EXPECT_TRUE(link.sink.replies.empty()) << "waits for 207 bytes";
  link.Receive(Bytes(200, 0x00));
  EXPECT_EQ(link.sink.replies, std::vector{NameReplyTo(0)});
}

TEST(Reception, RepliesForAnotherOpcodeOrAnEmptyQueueAreDropped) {
  LinkHarness link;
  link.Reply(kNameReply);
  EXPECT_TRUE(link.sink.replies.empty());

  GetRamSize(link.queue);
  link.queue.SendAttempts = 4;
  link.Reply(kNameReply);
  EXPECT_TRUE(link.sink.replies.empty());
  EXPECT_EQ(link.queue.Size(), 1u);
  EXPECT_EQ(link.queue.SendAttempts, 4);
  EXPECT_EQ(link.view.watchdogRestarts, 0) << "only polls restart the watchdog";
}

TEST(Reception, AChunkThatOverflowsTheBufferDiscardsWhatWasBuffered) {
  LinkHarness link;
  GetChipName(link.queue, 0);
  GetChipName(link.queue, 1);
  const Bytes frame = ComposeFrame(kNameReply);
  // Noise, then the first half of a frame: 297 bytes wait.
  link.Receive(Concat({Bytes(290, 0x11), Bytes(frame.begin(), frame.begin() + 7)}));
  EXPECT_EQ(link.reception.FillCount() - link.reception.ScanPos(), 7);
  // Its second half does not fit: the first half is lost, and so is the frame.
  link.Receive(Concat({Bytes(frame.begin() + 7, frame.end()), frame}));
  EXPECT_EQ(link.sink.replies, std::vector{NameReplyTo(0)});
  EXPECT_EQ(link.queue.Size(), 1u);
}

TEST(Reception, AHugeChunkKeepsItsLastBytes) {
  LinkHarness link;
  GetChipName(link.queue, 0);
  GetChipName(link.queue, 1);
  const Bytes frame = ComposeFrame(kNameReply);
  // A frame at the start of a 32768-byte chunk is lost; one at its end is handled.
  Bytes chunk = Concat({frame, Bytes(32768 - 2 * frame.size(), 0x22), frame});
  ASSERT_EQ(chunk.size(), 32768u);
  link.Receive(chunk);
  EXPECT_EQ(link.sink.replies, std::vector{NameReplyTo(0)});
  EXPECT_EQ(link.queue.Size(), 1u);
  // Exactly 300 bytes fit whole.
  link.Receive(Concat({Bytes(300 - frame.size(), 0x33), frame}));
  EXPECT_EQ(link.sink.replies, (std::vector{NameReplyTo(0), NameReplyTo(1)}));
}

TEST(Reception, ManyFramesInOneChunkAreHandledInOrder) {
  LinkHarness link;
  for (int i = 0; i < 5; ++i) GetChipName(link.queue, i);
  Bytes chunk;
  std::vector<HandledReply> expected;
  for (std::uint8_t i = 0; i < 5; ++i) {
    const Bytes reply{0xFA, 1, static_cast<std::uint8_t>('a' + i)};
    chunk = Concat({chunk, Bytes{0x00}, ComposeFrame(reply)});
    expected.push_back({reply, {OpGetChipName, i}});
  }
  link.Receive(chunk);
  EXPECT_EQ(link.sink.replies, expected);
  EXPECT_EQ(link.reception.FillCount(), 0);
}

// The device carried out a command twice (it was sent again at a poll that crossed it): the
// second reply is not taken for the next block, bit name or line of the same kind.
TEST(Reception, ARepeatedReplyDoesNotAnswerTheNextCommandOfItsKind) {
  LinkHarness link;
  const Bytes image(32, 0xEE);
  ReadProgramMemory(link.queue, 0, 16);
  ReadProgramMemory(link.queue, 16, 16);
  Bytes first{0x09, 0, 0, 0, 0, 16};
  first.insert(first.end(), 16, 0x11);
  link.Reply(first);
  link.Reply(first);
  EXPECT_EQ(link.sink.replies, (std::vector<HandledReply>{{first, {0x09, 0, 0, 0, 0, 16}}}));
  ASSERT_EQ(link.queue.Size(), 1u) << "the second block still waits for its own reply";

  link.queue.ClearCommandQueue();
  link.sink.replies.clear();
  VerifyEeprom(link.queue, 0, 16, image);
  VerifyEeprom(link.queue, 16, 16, image);
  link.Reply({0x0F, 0, 0, 0, 0, 16, 1});
  link.Reply({0x0F, 0, 0, 0, 0, 16, 1});
  ASSERT_EQ(link.queue.Size(), 1u);
  link.Reply({0x0F, 16, 0, 0, 0, 16, 0});
  ASSERT_EQ(link.sink.replies.size(), 2u);
  EXPECT_EQ(link.sink.replies[1].reply, (Bytes{0x0F, 16, 0, 0, 0, 16, 0}));
  EXPECT_EQ(link.sink.replies[1].request, Concat({{0x0F, 16, 0, 0, 0, 16}, Bytes(16, 0xEE)}));

  link.sink.replies.clear();
  GetLockBitName(link.queue, 0);
  GetLockBitName(link.queue, 1);
  link.Reply({0xF4, 0, 2, 'L', '0'});
  link.queue.SendAttempts = 3;
  link.Reply({0xF4, 0, 2, 'L', '0'});
  EXPECT_EQ(link.queue.SendAttempts, 3) << "a reply for another command resets nothing";
  link.Reply({0xF4, 1, 2, 'L', '1'});
  EXPECT_TRUE(link.queue.Empty());
  EXPECT_EQ(link.sink.replies, (std::vector<HandledReply>{{{0xF4, 0, 2, 'L', '0'}, {0xF4, 0}},
                                                          {{0xF4, 1, 2, 'L', '1'}, {0xF4, 1}}}));
}

// The device's poll for a frame it took whole comes no earlier than this after the frame was
// handed to the writer: both on the line at 56000 bit/s, then the read interval and the margin.
LinkClock::duration FreshAfter(std::size_t frameSize) {
  return LineTime(frameSize + FrameHeaderSize, 56000) + ReadInterval + StalePollMargin;
}

// An idle poll that crossed the head on the line neither sends it again nor counts as a send; a
// poll that comes later does both, so the eight-send give-up still holds.
TEST(Reception, APollThatCrossedTheHeadIsPassedOver) {
  LinkHarness link;
  WriteProgramMemory(link.queue, 0, 224, Bytes(224, 0x5A));
  const std::size_t frameSize = 224 + BlockHeaderSize + FrameOverhead;
  link.Poll();
  ASSERT_EQ(link.written.frames.size(), 1u);
  for (int send = 1; send < MaxSendAttempts; ++send) {
    link.Poll(std::chrono::milliseconds(1));
    link.Poll(FreshAfter(frameSize) - std::chrono::milliseconds(1) - std::chrono::microseconds(1));
    EXPECT_EQ(link.written.frames.size(), std::size_t(send)) << "crossed polls send nothing";
    EXPECT_EQ(link.queue.SendAttempts, send);
    link.Poll(std::chrono::microseconds(1));
    EXPECT_EQ(link.written.frames.size(), std::size_t(send + 1)) << "the first fresh poll sends again";
  }
  EXPECT_EQ(link.view.watchdogRestarts, 1 + 3 * (MaxSendAttempts - 1)) << "every poll restarts it";
  EXPECT_TRUE(link.queue.Empty()) << "gave up after the eighth send";
  EXPECT_EQ(link.view.warnings.size(), 1u);

  // A small frame's window is short: the device's next idle poll is fresh.
  GetRamSize(link.queue);
  link.Poll();
  link.Poll(std::chrono::milliseconds(50));
  EXPECT_EQ(link.written.Opcodes().back(), OpGetRamSize);
  EXPECT_EQ(link.queue.SendAttempts, 2);
}

// A crossed poll ahead of the reply in the same chunk, however late the chunk was taken off the
// line: the reply is handled, and the poll behind it sends the next head once.
TEST(Reception, ACrossedPollDoesNotHideTheReplyBehindIt) {
  for (const auto late : {std::chrono::milliseconds(1), std::chrono::milliseconds(30)}) {
    LinkHarness link;
    GetChipName(link.queue, 0);
    GetChipName(link.queue, 1);
    link.Poll();
    link.Receive(Concat({Poll(), ComposeFrame(kNameReply), Poll()}), late);
    EXPECT_EQ(link.sink.replies, std::vector{NameReplyTo(0)});
    ASSERT_EQ(link.written.Payloads(), (std::vector<Bytes>{{OpGetChipName, 0}, {OpGetChipName, 1}}));
    EXPECT_EQ(link.queue.SendAttempts, 1);
  }
}

// The user-interface thread was busy while the device answered and then idled: its later idle
// polls waited in the queue behind the reply. They were received before the next head went out,
// so they do not send it again.
TEST(Reception, PollsThatWaitedBehindABusyWindowAreStale) {
  LinkHarness link;
  GetChipName(link.queue, 0);
  GetChipName(link.queue, 1);
  link.Poll();
  const LinkTime sent = link.now;
  const Bytes answer = Concat({ComposeFrame(kNameReply), Poll()});
  const Bytes idle = Poll();
  link.now = sent + std::chrono::milliseconds(120);  // the window is busy until now
  link.reception.Receive(answer.data(), std::uint16_t(answer.size()), sent + std::chrono::milliseconds(3));
  link.reception.Receive(idle.data(), std::uint16_t(idle.size()), sent + std::chrono::milliseconds(53));
  link.reception.Receive(idle.data(), std::uint16_t(idle.size()), sent + std::chrono::milliseconds(103));
  EXPECT_EQ(link.written.frames.size(), 2u);
  EXPECT_EQ(link.queue.SendAttempts, 1);

  // Once the device answers, a poll that waited in the queue still sends the next head: the
  // head it asks for has not gone out yet.
  GetRamSize(link.queue);
  link.now += std::chrono::milliseconds(200);
  const Bytes nextReply{0xFA, 3, 'D', 'E', 'F'};
  const Bytes nextAnswer = Concat({ComposeFrame(nextReply), Poll()});
  link.reception.Receive(nextAnswer.data(), std::uint16_t(nextAnswer.size()),
                         link.now - std::chrono::milliseconds(150));
  EXPECT_EQ(link.sink.replies, (std::vector<HandledReply>{NameReplyTo(0), {nextReply, {OpGetChipName, 1}}}));
  EXPECT_EQ(link.written.Opcodes().back(), OpGetRamSize);
}
