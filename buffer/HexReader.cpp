#include "buffer/HexReader.h"

#include <array>
#include <cstring>

#include "buffer/BinaryFile.h"
#include "link/Abort.h"

namespace kestrel {

namespace {

constexpr std::uint8_t RecordStart = ':';
constexpr std::uint8_t DataRecord = 0x00;
constexpr std::uint8_t EndOfFileRecord = 0x01;
constexpr std::uint8_t GapByte = 0xFF;

constexpr std::array<std::uint8_t, 256> DigitTable = [] {
  std::array<std::uint8_t, 256> table{};
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<std::uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<std::uint8_t>(c - 'a' + 10);
  return table;
}();

}  // namespace

int HexDigitValue(std::uint8_t character) { return DigitTable[character]; }

void HexSource::SeekRecordStart() {
  const std::size_t size = text_.size();
  const void* found =
      position_ < size ? std::memchr(text_.data() + position_, RecordStart, size - position_) : nullptr;
  if (found == nullptr) throw EAbort();
  position_ = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - text_.data()) + 1;
  if (position_ == size) throw EAbort();
}

int HexSource::NextDigit() { return position_ < text_.size() ? HexDigitValue(text_[position_++]) : 0; }

std::uint8_t HexSource::ReadHexByte() {
  const int high = NextDigit();
  return static_cast<std::uint8_t>(high * 16 + NextDigit());
}

std::uint16_t HexSource::ReadHexWord() {
  const int high = ReadHexByte();
  return static_cast<std::uint16_t>(high * 256 + ReadHexByte());
}

std::vector<std::uint8_t> ReadHexImage(std::span<const std::uint8_t> text) {
  HexSource source(text);
  std::vector<std::uint8_t> image;
  for (;;) {
    source.SeekRecordStart();
    const std::uint8_t count = source.ReadHexByte();
    const std::uint32_t offset = source.ReadHexWord();
    const std::uint8_t type = source.ReadHexByte();
    if (type == EndOfFileRecord) return image;
    if (type != DataRecord || count == 0) continue;
    // A record running past 0xFFFF goes on at 0x10000: the sum does not wrap.
    const std::size_t end = offset + count;
    if (end > image.size()) image.resize(end, GapByte);
    for (std::size_t at = offset; at < end; ++at) image[at] = source.ReadHexByte();
  }
}

bool LoadHexStream(Session& session, std::span<const std::uint8_t> text) {
  return LoadBinaryStream(session, ReadHexImage(text));
}

}  // namespace kestrel
