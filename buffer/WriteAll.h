#pragma once
// Writing a whole byte run to a POSIX file descriptor.

#include <cstdint>
#include <span>

namespace kestrel {

// Writes all of `bytes`, going on after interruptions and, on a non-blocking descriptor, waiting
// for room up to `patienceMs` each time (-1: as long as it takes). Returns 0, or the error that
// stopped it: ETIMEDOUT when no room came in time, EIO when a write took nothing.
int WriteAll(int fd, std::span<const std::uint8_t> bytes, int patienceMs = -1);

}  // namespace kestrel
