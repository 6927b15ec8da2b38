#include "link/Watchdog.h"

#include "link/Commands.h"
#include "link/LinkTrace.h"

namespace kestrel {

void StartExchange(CommandQueue& queue) {
  EndOperation(queue);
  GetProgrammerName(queue);
}

void TraceWatchdogTimeout(const LinkLine& line) {
  if (line.Trace) line.Trace->Event(line.Now(), "watchdog timeout");
}

}  // namespace kestrel
