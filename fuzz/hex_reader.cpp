// libFuzzer target: the Intel HEX reader on arbitrary text, and the writer. A text either gives
// an image below the size limit or a fault with the line it lies on; an image read, and the
// input itself taken as an image, come back byte for byte from the writer's text.
#include <cstdint>
#include <span>

#include "buffer/HexReader.h"
#include "buffer/HexWriter.h"
#include "fuzz/RecordReaderChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrel::fuzz::CheckRecordReader({data, size}, kestrel::ReadHexImage, kestrel::WriteHexImage);
  return 0;
}
