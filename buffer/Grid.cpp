#include "buffer/Grid.h"

#include <algorithm>
#include <iterator>

#include "link/Session.h"

namespace kestrel {

namespace {

constexpr char UpperDigits[] = "0123456789ABCDEF";

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

}  // namespace

std::string HexText(std::uint32_t value) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = UpperDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  return std::string(std::make_reverse_iterator(digits + n), std::make_reverse_iterator(digits));
}

std::string ByteToHex(std::uint8_t value) { return {UpperDigits[value >> 4], UpperDigits[value & 0xF]}; }

std::uint32_t HexTextToInt(std::string_view text) {
  std::uint32_t value = 0;
  for (char c : text) value = value * 16 + static_cast<std::uint32_t>(DigitValue(c));
  return value;
}

std::uint64_t GridRowCount(std::uint64_t length) {
  return std::max<std::uint64_t>(2, length / BytesPerRow + 1) + (length % BytesPerRow != 0 ? 1 : 0);
}

bool PassesKeyFilter(char32_t character) {
  return (character >= '0' && character <= '9') || (character >= 'A' && character <= 'F') ||
         (character >= 'a' && character <= 'f');
}

GridCell CommitCell(Session& session, GridCell cell, std::string_view text, std::uint64_t rowCount) {
  const std::size_t index = CellByteIndex(cell.Row, cell.Column);
  if (index < session.DataBuffer.size()) {
    session.DataBuffer[index] = static_cast<std::uint8_t>(HexTextToInt(text));
    session.BufferModified = true;
  }
  if (cell.Column + 1 < GridColumnCount) return {cell.Row, cell.Column + 1};
  const bool lastRow = static_cast<std::uint64_t>(cell.Row) + 1 >= rowCount;
  return {lastRow ? cell.Row : cell.Row + 1, 1};
}

bool ViewCache::Update(int top, int visible) {
  if (top == top_ && visible == visible_) return false;
  top_ = top;
  visible_ = visible;
  return true;
}

}  // namespace kestrel
