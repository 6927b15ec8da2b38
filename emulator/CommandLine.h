#pragma once
// The kestrel-emulator program's command line.

#include <string>

#include "emulator/Emulator.h"

namespace kestrel::emulator {

struct CommandLine {
  EmulatorOptions options;
  bool help = false;
  // Empty when the command line is good.
  std::string error;
};

// `--trace` sends the trace to standard error.
CommandLine ParseCommandLine(int argc, const char* const* argv);
const char* Usage();

}  // namespace kestrel::emulator
