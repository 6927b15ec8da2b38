#pragma once
// The standard output and the standard error as results leave through them. Every write is
// checked; a stream that failed takes nothing more, and its failure is told once: where it
// happened, or at the end. A closed pipe (EPIPE) ends the program quietly.

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/Result.h"

namespace kestrel::cli {

// Writes all of `bytes` to the stream and flushes it. False when that failed, now or before.
// Any thread may call it.
bool PutOutput(std::FILE* stream, std::string_view bytes);

// The failure of the stream, to be told where it happened: "standard output: No space left on
// device", or empty for a closed pipe, which ends quietly. It is then not told again at the end.
std::string TakeOutputFailure(std::FILE* stream);

// After the last result: flushes and closes the standard output, flushes the standard error and
// tells the failures not yet told on the standard error. Returns `status`, or the worse of it and
// File when a stream failed.
ExitStatus EndOutput(ExitStatus status);

}  // namespace kestrel::cli
