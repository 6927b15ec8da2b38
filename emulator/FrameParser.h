#pragma once
// Finds the host's command frames in the bytes the device receives. Noise, frames with a
// wrong header or payload sum and empty frames are passed over; a frame cut between two reads
// is found once its last byte has arrived.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestrel::emulator {

class FrameParser {
 public:
  void Append(std::span<const std::uint8_t> bytes);
  // The payload of the next checked frame with a payload, or nothing until more bytes come.
  std::optional<std::vector<std::uint8_t>> NextPayload();
  void Clear() { buffer_.clear(); }

 private:
  std::vector<std::uint8_t> buffer_;
};

}  // namespace kestrel::emulator
