#pragma once
// The exchange with the programmer as the main window drives it: its start, the chunks the
// serial component receives, the watchdog's timeout and the rediscovery of a lost programmer.
// The main window's caption is the connection state.

#include <cstdint>

#include "link/LineTiming.h"
#include "link/Watchdog.h"
#include "operations/Session.h"

namespace kestrel {

// The main window's FormShow: queues the first commands of the exchange.
void FormShow(Session&);

// The serial component's OnReceiveData, with the time the reader took the chunk off the line.
void Comm321ReceiveData(Session&, const std::uint8_t* buffer, std::uint16_t length, LinkTime receivedAt);

// Timer2's handler: no poll for WatchdogIntervalMs.
void Timer2Timer(Session&);

// The link is lost: drops the pending work and the chip-dependent lists and asks for the
// programmer's name again. Run by the watchdog, and when a lost port has been opened again.
void Rediscover(Session&);

}  // namespace kestrel
