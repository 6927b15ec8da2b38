#pragma once
// A memory image built from the pieces of a file, as every image file format builds it: the image
// starts at address 0, bytes no piece covers read FF, and where pieces overlap the later one wins.

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "buffer/ImageFault.h"

namespace kestrel {

class ImageBuilder {
 public:
  // Copies `data` to `address` on, growing the image as needed. TooLarge, with the image
  // unchanged, when a byte would lie at or past MaxImageSize - 1.
  ImageFault Place(std::uint64_t address, std::span<const std::uint8_t> data);

  std::vector<std::uint8_t> Take() { return std::move(image_); }

 private:
  std::vector<std::uint8_t> image_;
};

}  // namespace kestrel
