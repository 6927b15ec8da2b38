#pragma once
// The ELF reader: the memory images of a 32-bit executable of either byte order. Every loadable
// segment's file data lands at its physical (load) address. For AVR files (machine 83) the address
// space is split as avr-gcc lays it out: below 0x800000 program memory (.text and the load image of
// .data), from 0x810000 EEPROM (.eeprom); the RAM at 0x800000 and the fuse, lock and signature
// sections at 0x820000, 0x830000 and 0x840000 are no memory images, but the signature's bytes are
// kept. For other machines every segment is program memory. The images follow the rules of
// ImageBuilder (of two segments for the same address the later in the table wins). Every offset
// and size the file gives is checked against its length.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "buffer/ImageFault.h"

namespace kestrel {

// A chip's signature bytes in the order the chip reads them out (1E 95 0F).
using SignatureBytes = std::array<std::uint8_t, 3>;

struct ElfImages {
  std::vector<std::uint8_t> program;
  std::vector<std::uint8_t> eeprom;
  // An AVR file's .signature section, which holds the bytes last first.
  std::optional<SignatureBytes> signature;
  // NotElf, Elf64, NotExecutable (a relocatable object included), BadElfHeader, NoProgramData
  // (neither image has a byte) or TooLarge; the images and the signature are then empty.
  ImageFault fault = ImageFault::None;
};

ElfImages ReadElfImages(std::span<const std::uint8_t> file);

}  // namespace kestrel
