// libFuzzer target: the S-record reader on arbitrary text, and the writer. A text either gives an
// image below the size limit or a fault with the line it lies on; an image read, and the input
// itself taken as an image (and as the header's name), come back byte for byte from the writer's
// text.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "buffer/BinaryFile.h"
#include "buffer/SRecordReader.h"
#include "buffer/SRecordWriter.h"

namespace {

void ExpectRoundTrip(std::span<const std::uint8_t> image, std::string_view header) {
  const kestrel::ImageReadResult back = kestrel::ReadSRecordImage(kestrel::WriteSRecordImage(image, header));
  if (back.fault != kestrel::ImageFault::None ||
      !std::equal(image.begin(), image.end(), back.image.begin(), back.image.end()))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const kestrel::ImageReadResult read = kestrel::ReadSRecordImage(input);
  if (read.fault == kestrel::ImageFault::None) {
    if (read.image.size() >= kestrel::MaxImageSize) std::abort();
    ExpectRoundTrip(read.image, "fuzz.srec");
  } else if (!read.image.empty() || read.line == 0 || read.line > size + 1) {
    std::abort();
  }
  ExpectRoundTrip(input, std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
