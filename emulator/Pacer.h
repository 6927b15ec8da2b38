#pragma once
// The time bytes take on a real line: BitsPerByte bit times a byte (start, 8 data, parity, stop
// at 8O1).
// Outgoing bytes are handed over when their last bit would have left the wire; consecutive
// sends queue behind each other as in a UART's shift register.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "link/LineTiming.h"

namespace kestrel::emulator {

using Clock = std::chrono::steady_clock;

class Pacer {
 public:
  // A rate of 0 sends at full speed.
  explicit Pacer(std::uint32_t baud);

  bool Paced() const { return byteTime_.count() > 0; }
  Clock::duration ByteTime() const { return byteTime_; }
  // When `count` bytes that began to arrive at `start` would have arrived in full.
  Clock::time_point ArrivalEnd(Clock::time_point start, std::size_t count) const;
  // Passes `bytes` to `write` in slices at the moments they would have crossed the wire, the
  // first bit leaving at `from` or when the line is free; a thread that wakes late catches up.
  // Stops early once `stop` is set.
  void Send(std::span<const std::uint8_t> bytes,
            const std::function<void(std::span<const std::uint8_t>)>& write, const std::atomic<bool>& stop,
            Clock::time_point from);

 private:
  Clock::duration byteTime_{};
  Clock::time_point lineFreeAt_{};
};

}  // namespace kestrel::emulator
