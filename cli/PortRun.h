#pragma once
// One port's run of the job, on its own thread, with its own link and session.

#include <cstdint>
#include <string>

#include "cli/Console.h"
#include "cli/ImageFiles.h"
#include "cli/Job.h"
#include "cli/Result.h"
#include "link/TComm32.h"

namespace kestrel::cli {

struct PortJob {
  std::string port;  // as the settings dialog takes it; the link resolves it
  std::uint32_t baud = 0;
  TParity parity = pOdd;
  const Job& job;             // the chip, -e, -V and the actions
  const InputImages& images;  // the image of each write and verify, by action index
};

// Opens the port, waits for the programmer's name, information lines and chip list (no poll
// within 5000 ms: status 3), chooses the chip (ChooseChip; unknown: status 2), checks the job
// against it (CheckJobAgainstChip) before sending anything else, then runs the actions in order,
// each after the previous one ended, saving reads with SaveImage and reporting block progress.
// Stops at the first failure, whose status and error line it returns with the results so far.
PortResult RunPort(const PortJob& job, PortProgress& progress);

}  // namespace kestrel::cli
