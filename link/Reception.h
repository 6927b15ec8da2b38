#pragma once
// Reception of the device's frames: chunks from the serial component are collected in the
// ReceiveBuffer and scanned. A poll restarts the watchdog and sends the head of the queue; a
// reply whose code is the head's opcode is handled, and then the head leaves the queue. A stale
// poll only restarts the watchdog and is passed over.

#include <cstdint>

#include "link/Session.h"

namespace kestrel {

// The serial component's OnReceiveData, with the time the reader took the chunk off the line.
// A chunk that does not fit behind the buffered bytes discards them; of a chunk larger than the
// whole buffer only its last bytes are kept.
void Comm321ReceiveData(Session&, const std::uint8_t* buffer, std::uint16_t length, LinkTime receivedAt);
void ResetReceiveBuffer(Session&);
// Examines the buffer from ScanPos until no complete frame is left.
void ScanReceiveBuffer(Session&);

}  // namespace kestrel
