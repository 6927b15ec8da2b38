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
  const Job& job;              // the chip, -e, -V, --force, the serial number and the actions
  const LoadedInputs& inputs;  // the image of each write and verify and its file's signature
};

// Opens the port, waits for the programmer's name, information lines and chip list (no poll
// within 5000 ms: status 3), chooses the chip (ChooseChip; unknown: status 2), checks the job
// against it (CheckJobAgainstChip) before sending anything else, then runs the actions in order,
// each after the previous one ended, saving reads with SaveImage and reporting block progress.
// A serial number is taken, and put into the images, once the chip is chosen and before anything
// changes it; an ELF file's signature is compared with the chip's before a write. An interrupt
// stops the run after the command on the line is answered (status 130 or 143, and where it
// stopped). Stops at the first failure, whose status and error line it returns with the results
// so far.
PortResult RunPort(const PortJob& job, PortProgress& progress);

}  // namespace kestrel::cli
