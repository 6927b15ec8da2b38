#pragma once
// The Intel HEX reader. A data record lands at its 16-bit load offset plus the base set by the
// last extended segment address record (type 02: value * 16) or extended linear address record
// (type 04: value * 65536); start address records and unknown types are skipped. Every record's
// digits, length and checksum are checked. The image starts at address 0, bytes no data record
// covers read FF, and of two records for the same address the later one wins.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrel {

class MemoryImage;

// The largest HEX text read: a full image of MaxImageSize bytes in 16-byte records fits.
inline constexpr std::size_t MaxHexTextSize = 4 * 1024 * 1024;

enum class HexFault {
  None,
  NoRecords,         // not a single ":" in the text
  NoEndRecord,       // the text ends before an end-of-file record
  BadDigit,          // a character that is not a hexadecimal digit where one belongs
  CutRecord,         // the line or the text ends before the record's checksum
  TrailingText,      // more than blanks between the checksum and the line end
  BadChecksum,       // the record's bytes do not sum to 0
  BadAddressRecord,  // an extended address record without exactly two data bytes
  TooLarge,          // a data byte at or past MaxImageSize - 1: the image would reach the limit
};

struct HexReadResult {
  std::vector<std::uint8_t> image;  // empty unless fault is None
  HexFault fault = HexFault::None;
  std::size_t line = 0;  // where the fault lies, counted from 1; CR LF, LF and CR each end a line
};

// Reads the image of an Intel HEX text; nothing after the end-of-file record is looked at.
HexReadResult ReadHexImage(std::span<const std::uint8_t> text);

// The status panel's report of a malformed file, naming the file (without its folder) and line.
std::string HexFaultMessage(const std::string& path, HexFault fault, std::size_t line);

// Reads the text of the file at `path` and makes its image the memory image through
// LoadBinaryStream.
// An image that would reach the size limit gets the size warning and returns false. A malformed
// text puts its report into the status panel and raises EAbort. Either way the buffer is left
// as it was.
bool LoadHexStream(MemoryImage& image, std::span<const std::uint8_t> text, const std::string& path);

}  // namespace kestrel
