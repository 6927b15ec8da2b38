// libFuzzer target: the ELF reader on arbitrary bytes. A file either gives a program memory or an
// EEPROM image, each below the size limit, or a fault with no image and no signature.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "buffer/BinaryFile.h"
#include "buffer/ElfReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kestrel::ElfImages images = kestrel::ReadElfImages(std::span<const std::uint8_t>(data, size));
  if (images.fault == kestrel::ImageFault::None) {
    if (images.program.empty() && images.eeprom.empty()) std::abort();
    if (images.program.size() >= kestrel::MaxImageSize || images.eeprom.size() >= kestrel::MaxImageSize)
      std::abort();
  } else if (!images.program.empty() || !images.eeprom.empty() || images.signature) {
    std::abort();
  }
  return 0;
}
