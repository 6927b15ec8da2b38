#pragma once
// The Intel HEX reader: data records and the end-of-file record only. Each data record's 16-bit
// load offset is its address in the image; other record types are skipped and checksums are not
// examined. The image starts at offset 0; bytes no data record covers read FF.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrel {

struct Session;

// Value of a hexadecimal digit; lower-case a-f count as their values, any other character as 0.
int HexDigitValue(std::uint8_t character);

// The source text, read strictly forwards one character at a time and never past its end.
class HexSource {
 public:
  explicit HexSource(std::span<const std::uint8_t> text) : text_(text) {}

  // Reads up to and including the next ":". Raises EAbort when the end of the text is reached,
  // also when the ":" is the text's last character.
  void SeekRecordStart();
  std::uint8_t ReadHexByte();
  std::uint16_t ReadHexWord();

 private:
  // The value of the next digit; at the end of the text it counts 0 and nothing is read.
  int NextDigit();

  std::span<const std::uint8_t> text_;
  std::size_t position_ = 0;
};

// Builds the image of an Intel HEX text; raises EAbort when the text ends before an end-of-file
// record (an empty or truncated text included). Nothing after the end-of-file record is read.
std::vector<std::uint8_t> ReadHexImage(std::span<const std::uint8_t> text);

// Reads the image and makes it the buffer through LoadBinaryStream. Returns whether the buffer
// took it; raises EAbort as ReadHexImage does, leaving the buffer untouched.
bool LoadHexStream(Session& session, std::span<const std::uint8_t> text);

}  // namespace kestrel
