#pragma once
// The --json output: one object per port, on one line.

#include <string>

#include "cli/Result.h"

namespace kestrel::cli {

// {"time":"2024-05-17T09:03:41.250Z", "duration_s":12.345, "port":..., "programmer":null|"...",
// "chip":null|"...", "serial":null|N, "status":N, "error":null|"...", "interrupted":{...} when it
// was, "actions":[{"action":"write","memory":"flash","file":..., "bytes":N, ...}, ...]} and a
// line feed: both the --json output and the run log's record. The fields of each action are
// listed in the manual page.
std::string JsonReport(const PortResult& result);

}  // namespace kestrel::cli
