#include "buffer/RecordScanner.h"

#include <algorithm>

#include "buffer/HexDigits.h"

namespace kestrel {

namespace {

constexpr std::uint8_t ByteOrderMark[] = {0xEF, 0xBB, 0xBF};

bool IsLineEnd(std::uint8_t c) { return c == '\n' || c == '\r'; }
bool IsBlank(std::uint8_t c) { return c == ' ' || c == '\t'; }

}  // namespace

RecordScanner::RecordScanner(std::span<const std::uint8_t> text) : text_(text) {
  if (text_.size() >= 3 && std::equal(text_.begin(), text_.begin() + 3, ByteOrderMark)) position_ = 3;
}

bool RecordScanner::AtLineEnd() const { return position_ == text_.size() || IsLineEnd(text_[position_]); }

void RecordScanner::SkipBlanks() {
  while (position_ < text_.size() && IsBlank(text_[position_])) ++position_;
}

void RecordScanner::SkipLineEnd() {
  if (position_ == text_.size()) return;
  if (text_[position_++] == '\r' && position_ < text_.size() && text_[position_] == '\n') ++position_;
  ++line_;
}

bool RecordScanner::NextRecord(std::uint8_t start) {
  while (position_ < text_.size()) {
    SkipBlanks();
    if (position_ < text_.size() && text_[position_] == start) {
      ++position_;
      recordLine_ = line_;
      return true;
    }
    while (!AtLineEnd()) ++position_;
    SkipLineEnd();
  }
  return false;
}

ImageFault RecordScanner::ReadCharacter(std::uint8_t& c) {
  if (AtLineEnd()) return ImageFault::CutRecord;
  c = text_[position_++];
  return ImageFault::None;
}

ImageFault RecordScanner::ReadBytes(std::span<std::uint8_t> bytes) {
  for (std::uint8_t& byte : bytes) {
    int digits[2];
    for (int& digit : digits) {
      if (AtLineEnd()) return ImageFault::CutRecord;
      digit = HexDigitValue(text_[position_++]);
      if (digit < 0) return ImageFault::BadDigit;
    }
    byte = static_cast<std::uint8_t>(digits[0] * 16 + digits[1]);
  }
  return ImageFault::None;
}

ImageFault RecordScanner::EndOfRecord() {
  SkipBlanks();
  return AtLineEnd() ? ImageFault::None : ImageFault::TrailingText;
}

std::size_t RecordScanner::LastLine() const {
  return !text_.empty() && IsLineEnd(text_.back()) ? line_ - 1 : line_;
}

}  // namespace kestrel
