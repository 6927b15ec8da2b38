#include "emulator/FrameParser.h"

#include "link/Frame.h"

namespace kestrel::emulator {

void FrameParser::Append(std::span<const std::uint8_t> bytes) {
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<std::vector<std::uint8_t>> FrameParser::NextPayload() {
  std::size_t pos = 0;
  std::optional<std::vector<std::uint8_t>> found;
  while (buffer_.size() - pos >= FrameHeaderSize) {
    const std::uint8_t* at = buffer_.data() + pos;
    if (!IsMarkerAt(at) || !HeaderValid(at)) {
      ++pos;
      continue;
    }
    const std::size_t length = at[4];
    if (length == 0) {
      pos += FrameHeaderSize;
      continue;
    }
    if (buffer_.size() - pos < length + FrameOverhead) break;
    if (!PayloadValid(at)) {
      ++pos;
      continue;
    }
    found.emplace(at + FrameHeaderSize, at + FrameHeaderSize + length);
    pos += length + FrameOverhead;
    break;
  }
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos));
  return found;
}

}  // namespace kestrel::emulator
