#pragma once
// The checks the record-text readers share: a text that must read, and a table of malformed
// texts, each refused with its fault and line and without an image.

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "buffer/ImageFault.h"
#include "tests/buffer/ScratchFiles.h"

namespace kestrel {

using ImageReader = ImageReadResult (*)(std::span<const std::uint8_t> text);

struct MalformedText {
  const char* text;
  ImageFault fault;
  std::size_t line;
};

// The image `read` makes of `text`, which must read without a fault.
inline Bytes ImageOf(ImageReader read, const std::string& text) {
  const ImageReadResult result = read(Text(text));
  EXPECT_EQ(result.fault, ImageFault::None) << "line " << result.line << " of\n" << text;
  return result.image;
}

inline void ExpectRefused(ImageReader read, std::span<const MalformedText> cases) {
  for (const MalformedText& c : cases) {
    const ImageReadResult result = read(Text(c.text));
    EXPECT_EQ(result.fault, c.fault) << '"' << c.text << '"';
    EXPECT_EQ(result.line, c.line) << '"' << c.text << '"';
    EXPECT_TRUE(result.image.empty()) << '"' << c.text << '"';
  }
}

}  // namespace kestrel
