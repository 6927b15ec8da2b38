#pragma once
// The hexadecimal grid as the core sees it: 16 bytes a row under one header row, with a label
// column of line numbers. Rows and columns count from 0; row 0 and column 0 are the fixed ones,
// so the cell in row r, column c (both at least 1) stands for byte (r - 1) * 16 + (c - 1).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel {

class MemoryImage;

inline constexpr int GridColumnCount = 17;
inline constexpr int BytesPerRow = 16;

// The value of a cell's text read as hexadecimal digits; a character that is not a hexadecimal
// digit counts as 0. An empty text gives 0.
std::uint32_t HexTextToInt(std::string_view text);

// The grid's row count, header row included, for a buffer of `length` bytes:
// max(2, length / 16 + 1), plus one when length is not a multiple of 16.
std::uint64_t GridRowCount(std::uint64_t length);

// The byte index a data cell stands for.
constexpr std::size_t CellByteIndex(int row, int column) {
  return static_cast<std::size_t>(row - 1) * BytesPerRow + static_cast<std::size_t>(column - 1);
}

// The characters that may be typed into a byte cell: 0-9, A-F, a-f.
bool PassesKeyFilter(char32_t character);

struct GridCell {
  int Row = 1;
  int Column = 1;
  friend bool operator==(const GridCell&, const GridCell&) = default;
};

// Enter on the current cell: stores the low 8 bits of the text's value into the buffer and sets
// BufferModified. A cell past the end of the buffer holds no byte: nothing is stored and the flag
// stays as it is. Returns the cell the cursor moves to: the next column, or column 1 of the next
// row after the last column (column 1 of the same row on the last row).
GridCell CommitCell(MemoryImage& image, GridCell cell, std::string_view text, std::uint64_t rowCount);

// The grid's top row and number of fully visible rows at the end of the last refresh; a refresh
// that finds both unchanged has nothing to do.
class ViewCache {
 public:
  void Invalidate() { top_ = visible_ = -1; }
  void InvalidateTop() { top_ = -1; }
  // True when the view differs from the cached one; remembers the new view.
  bool Update(int top, int visible);

 private:
  int top_ = 0;
  int visible_ = 0;
};

}  // namespace kestrel
