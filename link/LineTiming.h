#pragma once
// Time on the serial line: the link's monotonic clock, the read interval that ends a received
// chunk, and how long bytes take on the wire at 11 bits a byte (start, 8 data, parity, stop).

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace kestrel {

using LinkClock = std::chrono::steady_clock;
using LinkTime = LinkClock::time_point;

inline constexpr int BitsPerByte = 11;
// A read ends once the line has been quiet this long after a byte.
inline constexpr std::chrono::milliseconds ReadInterval{1};

// How long `bytes` take on a line of `rate` bits per second; nothing at a rate of 0.
constexpr LinkClock::duration LineTime(std::size_t bytes, std::uint32_t rate) {
  if (rate == 0) return LinkClock::duration::zero();
  return std::chrono::duration_cast<LinkClock::duration>(std::chrono::nanoseconds(
      static_cast<std::int64_t>(bytes) * BitsPerByte * 1'000'000'000 / static_cast<std::int64_t>(rate)));
}

}  // namespace kestrel
