#include "buffer/RecordWriter.h"

#include <string>

#include "buffer/HexDigits.h"

namespace kestrel {

void RecordWriter::Start(std::string_view start) {
  text_.insert(text_.end(), start.begin(), start.end());
  sum_ = 0;
}

void RecordWriter::Bytes(std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t byte : bytes) {
    Digits(byte);
    sum_ = static_cast<std::uint8_t>(sum_ + byte);
  }
}

void RecordWriter::End(std::uint8_t checksum) {
  Digits(checksum);
  text_.push_back('\r');
  text_.push_back('\n');
}

void RecordWriter::Digits(std::uint8_t byte) {
  const std::string digits = ByteToHex(byte);
  text_.insert(text_.end(), digits.begin(), digits.end());
}

}  // namespace kestrel
