#include "link/Reception.h"

#include <algorithm>

#include "link/CommandQueue.h"
#include "link/Frame.h"
#include "link/LinkTrace.h"
#include "link/ReplyHandler.h"

namespace kestrel {

void ResetReceiveBuffer(Session& s) {
  s.ScanPos = 0;
  s.FillCount = 0;
}

void Comm321ReceiveData(Session& s, const std::uint8_t* buffer, std::uint16_t length, LinkTime receivedAt) {
  s.ReceivedAt = receivedAt;
  if (s.FillCount + length > ReceiveBufferSize) ResetReceiveBuffer(s);
  const std::size_t kept = std::min<std::size_t>(length, ReceiveBufferSize);
  std::copy_n(buffer + (length - kept), kept, s.ReceiveBuffer.begin() + s.FillCount);
  s.FillCount = static_cast<std::uint16_t>(s.FillCount + kept);
  ScanReceiveBuffer(s);
}

namespace {

std::size_t Available(const Session& s) { return s.FillCount - s.ScanPos; }

// Where the marker search from `from` stops: at a marker, or where too few bytes are left to
// tell (they wait for the next chunk).
std::size_t NextMarker(const Session& s, std::size_t from) {
  while (from + FrameHeaderSize <= s.FillCount && !IsMarkerAt(&s.ReceiveBuffer[from])) ++from;
  return from;
}

// Whether a frame begins somewhere from `from` on in what has arrived.
bool FrameBehind(const Session& s, std::size_t from) {
  for (std::size_t at = NextMarker(s, from); at + FrameHeaderSize <= s.FillCount; at = NextMarker(s, at + 1))
    if (HeaderValid(&s.ReceiveBuffer[at])) return true;
  return false;
}

// A poll with a frame behind it in the same chunk was followed at once by an answer, so the
// device was already taking a command when it sent it: only its latest poll asks for the head,
// and then the chunk's time decides.
bool StalePoll(const Session& s) { return FrameBehind(s, s.ScanPos + FrameHeaderSize) || PollIsStale(s); }

// Moves the bytes from `end` on to the start of the buffer.
void DropScannedBytes(Session& s, std::size_t end) {
  std::copy(s.ReceiveBuffer.begin() + end, s.ReceiveBuffer.begin() + s.FillCount, s.ReceiveBuffer.begin());
  s.FillCount = static_cast<std::uint16_t>(s.FillCount - end);
  s.ScanPos = 0;
}

void AcceptReply(Session& s) {
  if (!ReplyAnswersHead(s)) return;
  HandleReply(s);
  DequeueCommand(s);
}

}  // namespace

void ScanReceiveBuffer(Session& s) {
  for (;;) {
    s.ScanPos = static_cast<std::uint16_t>(NextMarker(s, s.ScanPos));
    if (Available(s) < FrameHeaderSize) return;

    const std::uint8_t* frame = &s.ReceiveBuffer[s.ScanPos];
    if (!HeaderValid(frame)) {
      // The rest waits for the next chunk.
      ++s.ScanPos;
      return;
    }
    const std::size_t length = frame[4];
    if (length == 0) {
      s.view.RestartWatchdog();
      if (s.Trace) s.Trace->Received(s.ReceivedAt, {frame, FrameHeaderSize});
      if (StalePoll(s)) {
        if (s.Trace) s.Trace->Event(s.ReceivedAt, "stale poll ignored");
        DropScannedBytes(s, s.ScanPos + FrameHeaderSize);
        continue;
      }
      // The device's poll. The give-up warning that the send may show is modal, and chunks
      // scanned meanwhile change the buffer: whatever it holds now is dropped.
      SendHeadCommand(s);
      ResetReceiveBuffer(s);
      return;
    }
    if (Available(s) < length + FrameOverhead) return;
    if (!PayloadValid(frame)) {
      ++s.ScanPos;
      continue;
    }
    if (s.Trace) s.Trace->Received(s.ReceivedAt, {frame, length + FrameOverhead});
    std::copy_n(frame + FrameHeaderSize, length, s.ReplyRecord.begin());
    s.ReplyLength = static_cast<std::uint16_t>(length);
    // The buffer is compacted before the reply acts, so nothing the handling does can meet a
    // half-consumed frame.
    DropScannedBytes(s, s.ScanPos + length + FrameOverhead);
    AcceptReply(s);
  }
}

}  // namespace kestrel
