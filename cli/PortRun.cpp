#include "cli/PortRun.h"

namespace kestrel::cli {

// Not connected to the engine yet: every port reports that and opens nothing.
PortResult RunPort(const PortJob& job, PortProgress&) {
  PortResult result;
  result.port = job.port;
  result.status = ExitStatus::Link;
  result.error = "the actions are not wired to the programmer yet";
  return result;
}

}  // namespace kestrel::cli
