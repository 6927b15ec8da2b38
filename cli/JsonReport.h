#pragma once
// The --json output: one object per port, on one line.

#include <string>

#include "cli/Result.h"

namespace kestrel::cli {

// {"port":..., "status":N, "error":null|"...", "actions":[{"action":"write","memory":"flash",
// "file":..., "bytes":N, ...}, ...]} and a line feed. The fields of each action are listed in
// the manual page.
std::string JsonReport(const PortResult& result);

}  // namespace kestrel::cli
