#pragma once
// Reading the line-based record texts (Intel HEX, S-records). A line whose first character after
// blanks is the format's start character holds one record: pairs of hexadecimal digits in either
// case, then at most blanks up to the line end. Every other line is not a record and is passed
// over. CR LF, LF and CR each end a line; a UTF-8 byte order mark before the first line is a blank.

#include <cstddef>
#include <cstdint>
#include <span>

#include "buffer/ImageFault.h"

namespace kestrel {

class RecordScanner {
 public:
  explicit RecordScanner(std::span<const std::uint8_t> text);

  // Moves past the start character of the next record; false when no line is left.
  bool NextRecord(std::uint8_t start);
  // The next character of the record; CutRecord at its line's end.
  ImageFault ReadCharacter(std::uint8_t& c);
  // Fills `bytes` from the record's digit pairs; CutRecord or BadDigit when they fall short.
  ImageFault ReadBytes(std::span<std::uint8_t> bytes);
  // TrailingText unless only blanks follow on the record's line.
  ImageFault EndOfRecord();

  // The line of the record NextRecord found, counted from 1.
  std::size_t RecordLine() const { return recordLine_; }
  // The line of the text's last character (a line end belongs to the line it ends), once
  // NextRecord found no more records.
  std::size_t LastLine() const;

 private:
  bool AtLineEnd() const;
  void SkipBlanks();
  void SkipLineEnd();

  std::span<const std::uint8_t> text_;
  std::size_t position_ = 0;
  std::size_t line_ = 1;
  std::size_t recordLine_ = 0;
};

}  // namespace kestrel
