#pragma once
// The serial number file that boards take their numbers from: it holds the next number as
// decimal text and is shared by the ports of a gang and by every process given it.

#include <cstdint>
#include <optional>
#include <string>

#include "cli/Job.h"

namespace kestrel::cli {

struct TakenSerial {
  std::optional<std::uint64_t> number;
  std::string error;  // when there is no number: what is wrong, naming the file (status 4)
};

// Takes the next number for one board. Under an exclusive lock on FILE.lock (beside FILE, so
// that the lock outlives FILE's replacement) it reads FILE, or takes the start when FILE does
// not exist, then replaces FILE with the number plus the step (temporary file, flushed to disk,
// renamed over it) and only then hands the number out. So a number is never handed out twice,
// whoever takes them at the same time and whenever a process is killed: killed before the
// rename it took nothing, after it its number is spent. A FILE that holds anything but a
// decimal number, a number the serial's field cannot hold, or one with no successor is an
// error, and FILE is left as it is.
TakenSerial TakeSerialNumber(const SerialOptions& serial);

}  // namespace kestrel::cli
