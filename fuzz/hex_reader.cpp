// libFuzzer target: the Intel HEX reader on arbitrary text. Every input either gives an image no
// longer than a 64 KiB address space plus one full record, or ends in the silent abort.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "buffer/HexReader.h"
#include "link/Abort.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const auto image = kestrel::ReadHexImage(std::span<const std::uint8_t>(data, size));
    if (image.size() > 0xFFFF + 255) std::abort();
  } catch (const kestrel::EAbort&) {
  }
  return 0;
}
