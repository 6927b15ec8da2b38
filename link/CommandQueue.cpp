#include "link/CommandQueue.h"

#include <algorithm>
#include <array>
#include <string>

#include "link/Commands.h"
#include "link/Frame.h"
#include "link/LinkTrace.h"

namespace kestrel {

void CommandQueue::EnqueueCommand(const std::uint8_t* payload, std::uint16_t length) {
  if (length == 0 || length > MaxPayloadSize) return;
  QueuedCommand entry;
  entry.Length = static_cast<std::uint8_t>(length);
  entry.Data = std::make_unique<std::uint8_t[]>(length);
  std::copy_n(payload, length, entry.Data.get());
  entries_.push_back(std::move(entry));
  barMaximum_ = Count();
  view_.SetQueueProgress(barMaximum_, Count());
  if (Count() >= 2) view_.ShowQueueWindow();
}

void CommandQueue::DequeueCommand() {
  if (entries_.empty()) return;
  entries_.pop_front();
  freshPollsFrom_.reset();
  view_.SetQueueProgress(barMaximum_, Count());
  if (entries_.empty()) view_.CloseQueueWindow();
}

void CommandQueue::ClearCommandQueue() {
  while (!entries_.empty()) DequeueCommand();
}

void CommandQueue::AbandonCommandQueue() {
  const bool chipCommandsDropped = std::any_of(entries_.begin(), entries_.end(), [](const QueuedCommand& c) {
    return c.Data[0] < FirstProgrammerOpcode;
  });
  ClearCommandQueue();
  if (chipCommandsDropped) view_.OperationAborted();
}

void CommandQueue::StopAfterHead() {
  if (SendAttempts == 0) {
    ClearCommandQueue();
    return;
  }
  while (entries_.size() > 1) {
    entries_.pop_back();
    view_.SetQueueProgress(barMaximum_, Count());
  }
}

void CommandQueue::SendHeadCommand() {
  if (entries_.empty()) return;
  const QueuedCommand& head = entries_.front();
  std::array<std::uint8_t, MaxFrameSize> frame;
  const std::size_t length = ComposeFrame(head.Payload(), frame.data());
  const LinkTime sent = line_.Now();
  if (line_.WriteData) line_.WriteData(frame.data(), static_cast<std::uint16_t>(length));
  if (line_.Trace) line_.Trace->Sent(sent, {frame.data(), length});
  // The device's answer to this frame is its poll, which cannot be here before both have
  // crossed the line and the read interval has passed.
  const std::uint32_t rate = line_.LineRate ? line_.LineRate() : 0;
  freshPollsFrom_ = sent + LineTime(length + FrameHeaderSize, rate) + ReadInterval + StalePollMargin;
  if (++SendAttempts < MaxSendAttempts) return;
  if (line_.Trace)
    line_.Trace->Event(line_.Now(), "give-up after " + std::to_string(MaxSendAttempts) + " sends");
  AbandonCommandQueue();
  SendAttempts = 0;
  view_.CloseQueueWindow();
  view_.GaveUp();
}

bool CommandQueue::PollIsStale(LinkTime receivedAt) const {
  return !entries_.empty() && freshPollsFrom_ && receivedAt < *freshPollsFrom_;
}

}  // namespace kestrel
