#include "link/Reception.h"

#include <algorithm>

#include "link/Commands.h"
#include "link/Frame.h"
#include "link/LinkTrace.h"

namespace kestrel {

namespace {

// How many bytes after its code a reply repeats from its request.
std::size_t EchoedParameters(std::uint8_t code) {
  switch (code) {
    case OpReadProgramMemory:
    case OpReadEeprom:
    case OpVerifyProgramMemory:
    case OpVerifyEeprom:
      return 5;
    case OpGetLockBitName:
    case OpGetFuseBitName:
    case OpGetInfoLine:
      return 1;
    default:
      return 0;
  }
}

}  // namespace

bool ReplyAnswersHead(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request) {
  if (reply.empty() || request.empty() || reply[0] != request[0]) return false;
  const std::size_t echoed = std::min({EchoedParameters(request[0]), reply.size() - 1, request.size() - 1});
  return std::equal(reply.begin() + 1, reply.begin() + 1 + echoed, request.begin() + 1);
}

void Reception::ResetReceiveBuffer() {
  scanPos_ = 0;
  fillCount_ = 0;
}

void Reception::Receive(const std::uint8_t* buffer, std::uint16_t length, LinkTime receivedAt) {
  receivedAt_ = receivedAt;
  if (fillCount_ + length > ReceiveBufferSize) ResetReceiveBuffer();
  const std::size_t kept = std::min<std::size_t>(length, ReceiveBufferSize);
  std::copy_n(buffer + (length - kept), kept, receiveBuffer_.begin() + fillCount_);
  fillCount_ = static_cast<std::uint16_t>(fillCount_ + kept);
  ScanReceiveBuffer();
}

// Where the marker search from `from` stops: at a marker, or where too few bytes are left to
// tell (they wait for the next chunk).
std::size_t Reception::NextMarker(std::size_t from) const {
  while (from + FrameHeaderSize <= fillCount_ && !IsMarkerAt(&receiveBuffer_[from])) ++from;
  return from;
}

// Whether a frame begins somewhere from `from` on in what has arrived.
bool Reception::FrameBehind(std::size_t from) const {
  for (std::size_t at = NextMarker(from); at + FrameHeaderSize <= fillCount_; at = NextMarker(at + 1))
    if (HeaderValid(&receiveBuffer_[at])) return true;
  return false;
}

// A poll with a frame behind it in the same chunk was followed at once by an answer, so the
// device was already taking a command when it sent it: only its latest poll asks for the head,
// and then the chunk's time decides.
bool Reception::StalePoll() const {
  return FrameBehind(scanPos_ + FrameHeaderSize) || queue_.PollIsStale(receivedAt_);
}

// Moves the bytes from `end` on to the start of the buffer.
void Reception::DropScannedBytes(std::size_t end) {
  std::copy(receiveBuffer_.begin() + end, receiveBuffer_.begin() + fillCount_, receiveBuffer_.begin());
  fillCount_ = static_cast<std::uint16_t>(fillCount_ - end);
  scanPos_ = 0;
}

void Reception::AcceptReply() {
  if (queue_.Empty() || !ReplyAnswersHead(Reply(), queue_.Entries().front().Payload())) return;
  // The owner may clear the queue while it acts; the request it reads stays whole.
  std::array<std::uint8_t, MaxPayloadSize> request;
  const auto head = queue_.Entries().front().Payload();
  std::copy(head.begin(), head.end(), request.begin());
  queue_.SendAttempts = 0;
  owner_.HandleReply(Reply(), {request.data(), head.size()});
  queue_.DequeueCommand();
}

void Reception::ScanReceiveBuffer() {
  for (;;) {
    scanPos_ = static_cast<std::uint16_t>(NextMarker(scanPos_));
    if (Available() < FrameHeaderSize) return;

    const std::uint8_t* frame = &receiveBuffer_[scanPos_];
    if (!HeaderValid(frame)) {
      // The rest waits for the next chunk.
      ++scanPos_;
      return;
    }
    const std::size_t length = frame[4];
    if (length == 0) {
      view_.RestartWatchdog();
      if (line_.Trace) line_.Trace->Received(receivedAt_, {frame, FrameHeaderSize});
      if (StalePoll()) {
        if (line_.Trace) line_.Trace->Event(receivedAt_, "stale poll ignored");
        DropScannedBytes(scanPos_ + FrameHeaderSize);
        continue;
      }
      // The device's poll. The give-up warning that the send may show is modal, and chunks
      // scanned meanwhile change the buffer: whatever it holds now is dropped.
      queue_.SendHeadCommand();
      ResetReceiveBuffer();
      return;
    }
    if (Available() < length + FrameOverhead) return;
    if (!PayloadValid(frame)) {
      ++scanPos_;
      continue;
    }
    if (line_.Trace) line_.Trace->Received(receivedAt_, {frame, length + FrameOverhead});
    std::copy_n(frame + FrameHeaderSize, length, replyRecord_.begin());
    replyLength_ = static_cast<std::uint16_t>(length);
    // The buffer is compacted before the reply acts, so nothing the handling does can meet a
    // half-consumed frame.
    DropScannedBytes(scanPos_ + length + FrameOverhead);
    AcceptReply();
  }
}

}  // namespace kestrel
