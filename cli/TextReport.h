#pragma once
// The text output: result lines for standard output, error lines for standard error.

#include <string>
#include <string_view>

#include "cli/Result.h"

namespace kestrel::cli {

// One port's result lines, each ending in a line feed and, when `namePort`, starting with
// "PORT: ": the board's serial number, then each action's lines. Device texts are passed
// through, control characters in them made blanks.
std::string TextReport(const PortResult& result, bool namePort);

// "kestrel-cli: PORT: what failed" and a line feed; nothing when the port's run went well or
// its failure ends quietly (the reader of the standard output has gone).
std::string ErrorLine(const PortResult& result);

// "kestrel-cli: what" and a line feed: an error or warning not about one port.
std::string ProgramMessage(std::string_view what);

}  // namespace kestrel::cli
