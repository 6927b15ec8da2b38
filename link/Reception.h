#pragma once
// Reception of the device's frames: chunks from the serial component are collected in the
// ReceiveBuffer and scanned. A poll restarts the watchdog and sends the head of the queue; a
// reply that answers the head goes, with the head's payload, to the owner, and then the head
// leaves the queue. A stale poll only restarts the watchdog and is passed over.

#include <array>
#include <cstdint>
#include <span>

#include "link/CommandQueue.h"
#include "link/LinkLine.h"
#include "link/LinkView.h"

namespace kestrel {

inline constexpr std::size_t ReceiveBufferSize = 300;
inline constexpr std::size_t ReplyRecordSize = 256;

// True when `reply` answers `request`, the head of the queue: its code is the head's opcode,
// and what it repeats of its request (a memory block's address and count, a bit's or an
// information line's index), as far as it holds it, is the head's. A command sent again at a
// poll that crossed it on the line can be carried out twice; its second reply must not pass for
// the answer to the next block or name of the same kind.
bool ReplyAnswersHead(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request);

class Reception {
 public:
  Reception(CommandQueue& queue, LinkView& view, ReplySink& owner, const LinkLine& line)
      : queue_(queue), view_(view), owner_(owner), line_(line) {}
  Reception(const Reception&) = delete;
  Reception& operator=(const Reception&) = delete;

  // The serial component's OnReceiveData, with the time the reader took the chunk off the line.
  // A chunk that does not fit behind the buffered bytes discards them; of a chunk larger than the
  // whole buffer only its last bytes are kept.
  void Receive(const std::uint8_t* buffer, std::uint16_t length, LinkTime receivedAt);
  void ResetReceiveBuffer();
  // Examines the buffer from ScanPos until no complete frame is left.
  void ScanReceiveBuffer();

  std::uint16_t ScanPos() const { return scanPos_; }
  std::uint16_t FillCount() const { return fillCount_; }
  // The payload of the last reply scanned: the first ReplyLength bytes of ReplyRecord.
  std::span<const std::uint8_t> Reply() const { return {replyRecord_.data(), replyLength_}; }
  // When the reader took the chunk last received off the line.
  LinkTime ReceivedAt() const { return receivedAt_; }

 private:
  std::size_t Available() const { return fillCount_ - scanPos_; }
  std::size_t NextMarker(std::size_t from) const;
  bool FrameBehind(std::size_t from) const;
  bool StalePoll() const;
  void DropScannedBytes(std::size_t end);
  void AcceptReply();

  CommandQueue& queue_;
  LinkView& view_;
  ReplySink& owner_;
  const LinkLine& line_;
  std::array<std::uint8_t, ReceiveBufferSize> receiveBuffer_{};
  std::uint16_t scanPos_ = 0;
  std::uint16_t fillCount_ = 0;
  std::array<std::uint8_t, ReplyRecordSize> replyRecord_{};
  std::uint16_t replyLength_ = 0;
  LinkTime receivedAt_{};  // when the reader took the chunk being scanned off the line
};

}  // namespace kestrel
