#pragma once
// The Motorola S-record reader. S1, S2 and S3 records put their data at their 16-, 24- or 32-bit
// address; the S0 header is read and passed over; an S5 or S6 record's count must equal the
// number of data records before it. S7, S8 or S9 ends the file, and so does the text's end right
// after a count record (converters leave the terminator out when they know no start address).
// Every record's type, digits, length and checksum are checked, and so is the end of its line.
// The image follows the rules of ImageBuilder; lines are read as RecordScanner reads them.

#include <cstdint>
#include <span>

#include "buffer/ImageFault.h"

namespace kestrel {

// Reads the image of an S-record text; nothing after the terminator's line is looked at.
ImageReadResult ReadSRecordImage(std::span<const std::uint8_t> text);

}  // namespace kestrel
