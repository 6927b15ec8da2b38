#include "buffer/HexWriter.h"

#include <algorithm>
#include <string>

#include "buffer/HexDigits.h"
#include "buffer/HexRecordType.h"

namespace kestrel {

namespace {

constexpr std::size_t BytesPerRecord = 16;

class HexTextWriter {
 public:
  explicit HexTextWriter(std::vector<std::uint8_t>& text) : text_(text) {}

  void Record(std::uint16_t offset, std::uint8_t type, std::span<const std::uint8_t> data) {
    sum_ = 0;
    text_.push_back(':');
    Byte(static_cast<std::uint8_t>(data.size()));
    Byte(static_cast<std::uint8_t>(offset >> 8));
    Byte(static_cast<std::uint8_t>(offset));
    Byte(type);
    for (const std::uint8_t byte : data) Byte(byte);
    Byte(static_cast<std::uint8_t>(-sum_));
    text_.push_back('\r');
    text_.push_back('\n');
  }

 private:
  void Byte(std::uint8_t value) {
    const std::string digits = ByteToHex(value);
    text_.insert(text_.end(), digits.begin(), digits.end());
    sum_ = static_cast<std::uint8_t>(sum_ + value);
  }

  std::vector<std::uint8_t>& text_;
  std::uint8_t sum_ = 0;
};

}  // namespace

std::vector<std::uint8_t> WriteHexImage(std::span<const std::uint8_t> image) {
  std::vector<std::uint8_t> text;
  // 45 characters a full data record, plus the address and end records.
  text.reserve(image.size() / BytesPerRecord * 45 + image.size() / 0x10000 * 17 + 64);
  HexTextWriter out(text);
  std::size_t upper = 0;
  for (std::size_t at = 0; at < image.size(); at += BytesPerRecord) {
    // Records start at multiples of 16, so none runs across a 64 KiB boundary.
    if (at >> 16 != upper) {
      upper = at >> 16;
      const std::uint8_t base[] = {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)};
      out.Record(0, HexRecordType::LinearAddress, base);
    }
    out.Record(static_cast<std::uint16_t>(at), HexRecordType::Data,
               image.subspan(at, std::min(BytesPerRecord, image.size() - at)));
  }
  out.Record(0, HexRecordType::EndOfFile, {});
  return text;
}

}  // namespace kestrel
