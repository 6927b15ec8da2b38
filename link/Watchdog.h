#pragma once
// The start of the exchange and the watch over the link. The device proves it is there by its
// polls, each of which restarts the owner's watchdog timer (Timer2); when WatchdogIntervalMs pass
// without one, the owner calls its timeout and the link counts as lost.

#include "link/CommandQueue.h"
#include "link/LinkLine.h"

namespace kestrel {

inline constexpr int WatchdogIntervalMs = 5000;

// The first commands of the exchange: the end of any operation the device may still be in, then
// the question for its name.
void StartExchange(CommandQueue& queue);

// The watchdog's timeout as the link sees it: a line in the trace.
void TraceWatchdogTimeout(const LinkLine& line);

}  // namespace kestrel
