#pragma once
// The Intel HEX reader. A data record lands at its 16-bit load offset plus the base set by the
// last extended segment address record (type 02: value * 16) or extended linear address record
// (type 04: value * 65536); start address records and unknown types are skipped. Every record's
// digits, length and checksum are checked, and so is the end of its line. The image follows the
// rules of ImageBuilder; lines are read as RecordScanner reads them.

#include <cstdint>
#include <span>

#include "buffer/ImageFault.h"

namespace kestrel {

// Reads the image of an Intel HEX text; nothing after the end-of-file record's line is looked at.
ImageReadResult ReadHexImage(std::span<const std::uint8_t> text);

}  // namespace kestrel
