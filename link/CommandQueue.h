#pragma once
// The CommandQueue and its sender. Every command waits here until the device's poll asks for
// it; the head leaves only when its reply has been handled or the queue is cleared.
// The queue window TForm5 shows the progress while two or more entries wait.

#include <chrono>
#include <cstdint>

#include "link/Session.h"

namespace kestrel {

// Appends a copy of the payload (opcode first). A length of 0, or one over 255, appends nothing.
void EnqueueCommand(Session&, const std::uint8_t* payload, std::uint16_t length);
// Removes the head; nothing on an empty queue.
void DequeueCommand(Session&);
// Removes every entry; SendAttempts is left alone.
void ClearCommandQueue(Session&);
// Frames and writes the head without removing it; gives up after the eighth send without an
// accepted reply. Nothing on an empty queue.
void SendHeadCommand(Session&);
// Whether the poll that ends the chunk being scanned is stale: the device sent it before it could
// have had the whole of the head's last transmission (an idle poll that crossed the head on the
// line, or one that waited behind a busy user-interface thread). Answering it would send the
// head again to a device that may already be carrying it out.
bool PollIsStale(const Session&);

// Clears the queue for the watchdog or the give-up. When chip commands were waiting, their
// operation ends unconfirmed, and the status panel says so instead of an earlier "Все верно.".
void AbandonCommandQueue(Session&);

inline constexpr int MaxSendAttempts = 8;
// How much later than the line time of the head and the poll and the read interval allow a poll
// may still be stale: the head reaches the line, and a poll the reader, only when their threads
// get their turn, which on a busy machine takes milliseconds. A poll that answers the head at
// once (a refusal, a lost reply) is passed over too, and the device's next idle poll, 50 ms on,
// sends the head again; so the margin costs nothing while it stays well below that.
inline constexpr std::chrono::milliseconds StalePollMargin{10};

}  // namespace kestrel
