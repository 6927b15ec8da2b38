#include "buffer/ImageBuilder.h"

#include <algorithm>

#include "buffer/BinaryFile.h"

namespace kestrel {

namespace {

constexpr std::uint8_t GapByte = 0xFF;

}  // namespace

ImageFault ImageBuilder::Place(std::uint64_t address, std::span<const std::uint8_t> data) {
  if (data.empty()) return ImageFault::None;
  // Checked before adding, so that an address near the top of 64 bits cannot wrap.
  if (address >= MaxImageSize || data.size() >= MaxImageSize - address) return ImageFault::TooLarge;
  const std::size_t end = static_cast<std::size_t>(address) + data.size();
  if (end > image_.size()) image_.resize(end, GapByte);
  std::copy(data.begin(), data.end(), image_.begin() + static_cast<std::ptrdiff_t>(address));
  return ImageFault::None;
}

}  // namespace kestrel
