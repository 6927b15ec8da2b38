#pragma once
// The CommandQueue and its sender. Every command waits here until the device's poll asks for
// it; the head leaves only when its reply has been handled or the queue is cleared. The queue
// window TForm5 shows the progress while two or more entries wait.

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>

#include "link/LineTiming.h"
#include "link/LinkLine.h"
#include "link/LinkView.h"

namespace kestrel {

// One entry of the CommandQueue: the payload, opcode first; the entry owns it.
struct QueuedCommand {
  std::uint8_t Length = 0;
  std::unique_ptr<std::uint8_t[]> Data;

  std::span<const std::uint8_t> Payload() const { return {Data.get(), Length}; }
};

inline constexpr int MaxSendAttempts = 8;
// How much later than the line time of the head and the poll and the read interval allow a poll
// may still be stale: the head reaches the line, and a poll the reader, only when their threads
// get their turn, which on a busy machine takes milliseconds. A poll that answers the head at
// once (a refusal, a lost reply) is passed over too, and the device's next idle poll, 50 ms on,
// sends the head again; so the margin costs nothing while it stays well below that.
inline constexpr std::chrono::milliseconds StalePollMargin{10};

class CommandQueue {
 public:
  CommandQueue(LinkView& view, const LinkLine& line) : view_(view), line_(line) {}
  CommandQueue(const CommandQueue&) = delete;
  CommandQueue& operator=(const CommandQueue&) = delete;

  // Appends a copy of the payload (opcode first). A length of 0, or one over 255, appends nothing.
  void EnqueueCommand(const std::uint8_t* payload, std::uint16_t length);
  // Removes the head; nothing on an empty queue.
  void DequeueCommand();
  // Removes every entry; SendAttempts is left alone.
  void ClearCommandQueue();
  // Clears the queue for the watchdog or the give-up. When chip commands were waiting, their
  // operation ends unconfirmed, and the view hears so.
  void AbandonCommandQueue();
  // Drops every entry that has not gone out: the head stays only while its send awaits an answer
  // (until the answer, or the give-up), so nothing new is sent.
  void StopAfterHead();
  // Frames and writes the head without removing it; gives up after the eighth send without an
  // accepted reply. Nothing on an empty queue.
  void SendHeadCommand();

  // Whether a poll that ends a chunk taken off the line at `receivedAt` is stale: the device sent
  // it before it could have had the whole of the head's last transmission (an idle poll that
  // crossed the head on the line, or one that waited behind a busy user-interface thread).
  // Answering it would send the head again to a device that may already be carrying it out.
  bool PollIsStale(LinkTime receivedAt) const;

  bool Empty() const { return entries_.empty(); }
  std::size_t Size() const { return entries_.size(); }
  // The entries, head first.
  const std::deque<QueuedCommand>& Entries() const { return entries_; }

  // Sends of the head since the last accepted reply.
  std::int32_t SendAttempts = 0;

 private:
  int Count() const { return static_cast<int>(entries_.size()); }

  LinkView& view_;
  const LinkLine& line_;
  std::deque<QueuedCommand> entries_;  // the head leaves from the front, at any length
  int barMaximum_ = 0;                 // ProgressBar1's maximum: the count after the last append
  // Polls received before this the device sent before it could have had the whole of the head's
  // last transmission; none while the head has not gone out.
  std::optional<LinkTime> freshPollsFrom_;
};

}  // namespace kestrel
