#include "link/Frame.h"

#include <algorithm>
#include <numeric>

namespace kestrel {

std::uint8_t ByteSum(std::span<const std::uint8_t> bytes) {
  return static_cast<std::uint8_t>(
      std::accumulate(bytes.begin(), bytes.end(), 0u, [](unsigned sum, std::uint8_t b) { return sum + b; }));
}

std::size_t ComposeFrame(std::span<const std::uint8_t> payload, std::uint8_t* out) {
  const auto length = static_cast<std::uint8_t>(payload.size());
  std::copy(FrameMarker.begin(), FrameMarker.end(), out);
  out[4] = length;
  out[5] = ByteSum({out, 5});
  std::copy(payload.begin(), payload.end(), out + FrameHeaderSize);
  out[FrameHeaderSize + length] = ByteSum(payload);
  return length + FrameOverhead;
}

std::vector<std::uint8_t> ComposeFrame(std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> frame(payload.size() + FrameOverhead);
  ComposeFrame(payload, frame.data());
  return frame;
}

std::array<std::uint8_t, FrameHeaderSize> PollFrame() {
  std::array<std::uint8_t, FrameHeaderSize> poll{};
  std::copy(FrameMarker.begin(), FrameMarker.end(), poll.begin());
  poll[4] = 0;
  poll[5] = ByteSum({poll.data(), 5});
  return poll;
}

bool IsMarkerAt(const std::uint8_t* at) { return std::equal(FrameMarker.begin(), FrameMarker.end(), at); }

bool HeaderValid(const std::uint8_t* at) { return ByteSum({at, 5}) == at[5]; }

bool PayloadValid(const std::uint8_t* at) {
  const std::size_t length = at[4];
  return ByteSum({at + FrameHeaderSize, length}) == at[FrameHeaderSize + length];
}

}  // namespace kestrel
