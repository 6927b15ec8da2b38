#pragma once
// The frame that wraps every message in both directions:
//   D1 E0 EB EE | L | header sum | L payload bytes | payload sum
// Both sums are plain 8-bit wrap-around sums. A frame with L = 0 is the device's poll and
// ends after its header (6 bytes); every other frame is L + 7 bytes long.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrel {

inline constexpr std::array<std::uint8_t, 4> FrameMarker{0xD1, 0xE0, 0xEB, 0xEE};
inline constexpr std::size_t FrameHeaderSize = 6;
inline constexpr std::size_t FrameOverhead = 7;
inline constexpr std::size_t MaxPayloadSize = 255;
inline constexpr std::size_t MaxFrameSize = MaxPayloadSize + FrameOverhead;  // 262

std::uint8_t ByteSum(std::span<const std::uint8_t> bytes);

// Writes the frame around `payload` (1..255 bytes) into `out`, which must hold
// payload.size() + 7 bytes; returns the frame's length.
std::size_t ComposeFrame(std::span<const std::uint8_t> payload, std::uint8_t* out);
std::vector<std::uint8_t> ComposeFrame(std::span<const std::uint8_t> payload);

// The device's ready poll: the 6 bytes D1 E0 EB EE 00 8A.
std::array<std::uint8_t, FrameHeaderSize> PollFrame();

// `at` points to at least 4 bytes.
bool IsMarkerAt(const std::uint8_t* at);
// `at` points to at least 6 bytes starting at a marker.
bool HeaderValid(const std::uint8_t* at);
// `at` points to a whole frame with a payload: L + 7 bytes starting at its marker.
bool PayloadValid(const std::uint8_t* at);

}  // namespace kestrel
