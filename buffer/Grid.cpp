#include "buffer/Grid.h"

#include <algorithm>

#include "buffer/HexDigits.h"
#include "buffer/MemoryImage.h"

namespace kestrel {

std::uint32_t HexTextToInt(std::string_view text) {
  std::uint32_t value = 0;
  // A character that is no digit counts as 0.
  for (const char c : text) value = value * 16 + static_cast<std::uint32_t>(std::max(0, HexDigitValue(c)));
  return value;
}

std::uint64_t GridRowCount(std::uint64_t length) {
  return std::max<std::uint64_t>(2, length / BytesPerRow + 1) + (length % BytesPerRow != 0 ? 1 : 0);
}

bool PassesKeyFilter(char32_t character) {
  return character < 256 && HexDigitValue(static_cast<unsigned char>(character)) >= 0;
}

GridCell CommitCell(MemoryImage& image, GridCell cell, std::string_view text, std::uint64_t rowCount) {
  image.Edit(CellByteIndex(cell.Row, cell.Column), static_cast<std::uint8_t>(HexTextToInt(text)));
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
