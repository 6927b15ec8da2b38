#pragma once
// What every record-text reader and its writer must keep, whatever the text: a text gives an
// image below the size limit or a fault with the line it lies on, and an image read, like the
// input itself taken as an image, comes back byte for byte through the writer's text.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <span>
#include <vector>

#include "buffer/BinaryFile.h"
#include "buffer/ImageFault.h"

namespace kestrel::fuzz {

using TextOf = std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t> image)>;
using ImageOf = std::function<ImageReadResult(std::span<const std::uint8_t> text)>;

inline void CheckRecordReader(std::span<const std::uint8_t> input, const ImageOf& read, const TextOf& write) {
  const auto roundTrip = [&](std::span<const std::uint8_t> image) {
    const ImageReadResult back = read(write(image));
    if (back.fault != ImageFault::None ||
        !std::equal(image.begin(), image.end(), back.image.begin(), back.image.end()))
      std::abort();
  };
  const ImageReadResult result = read(input);
  if (result.fault == ImageFault::None) {
    if (result.image.size() >= MaxImageSize) std::abort();
    roundTrip(result.image);
  } else if (!result.image.empty() || result.line == 0 || result.line > input.size() + 1) {
    std::abort();
  }
  roundTrip(input);
}

}  // namespace kestrel::fuzz
