// libFuzzer target: the S-record reader on arbitrary text, and the writer. A text either gives an
// image below the size limit or a fault with the line it lies on; an image read, and the input
// itself taken as an image, come back byte for byte from the writer's text, whose header names
// the input itself.
#include <cstdint>
#include <span>
#include <string_view>

#include "buffer/SRecordReader.h"
#include "buffer/SRecordWriter.h"
#include "fuzz/RecordReaderChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view header(reinterpret_cast<const char*>(data), size);
  kestrel::fuzz::CheckRecordReader(
      {data, size}, kestrel::ReadSRecordImage,
      [header](std::span<const std::uint8_t> image) { return kestrel::WriteSRecordImage(image, header); });
  return 0;
}
