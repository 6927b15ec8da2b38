#pragma once
// The command line of kestrel-cli. Options may stand before, between or after the actions; "--"
// ends them. A short option's value may follow it in the same argument (-pCOM3), a long
// option's after "=" (--port=COM3); flags combine (-eV). Of a repeated option other than -p
// the last counts.

#include <string>
#include <vector>

#include "cli/Job.h"

namespace kestrel::cli {

struct CommandLine {
  enum class Kind { Run, Help, Version, UsageError };
  Kind kind = Kind::Run;
  Job job;            // Run
  std::string error;  // UsageError: what is wrong and where, one line
};

// `arguments` come without the program's name; "argument N" in an error counts from 1.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// What --help prints.
extern const char UsageText[];

}  // namespace kestrel::cli
