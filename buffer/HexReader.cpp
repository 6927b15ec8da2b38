#include "buffer/HexReader.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "buffer/Abort.h"
#include "buffer/BinaryFile.h"
#include "buffer/FilePath.h"
#include "buffer/HexDigits.h"
#include "buffer/HexRecordType.h"
#include "buffer/MemoryImage.h"

namespace kestrel {

namespace {

constexpr std::uint8_t RecordStart = ':';
constexpr std::uint8_t GapByte = 0xFF;
bool IsLineEnd(std::uint8_t c) { return c == '\n' || c == '\r'; }

// The line that holds text position `at`, counted from 1.
std::size_t LineAt(std::span<const std::uint8_t> text, std::size_t at) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < at; ++i)
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++line;
  return line;
}

// One record as its bytes: count, offset (2), type, count data bytes, checksum.
struct Record {
  std::array<std::uint8_t, 255 + 5> bytes{};

  std::uint8_t Count() const { return bytes[0]; }
  std::uint32_t Offset() const { return std::uint32_t{bytes[1]} << 8 | bytes[2]; }
  std::uint8_t Type() const { return bytes[3]; }
  std::span<const std::uint8_t> Data() const { return {bytes.data() + 4, Count()}; }
};

class Parser {
 public:
  explicit Parser(std::span<const std::uint8_t> text) : text_(text) {}

  HexReadResult Run() {
    bool anyRecord = false;
    for (;;) {
      const auto found =
          std::find(text_.begin() + static_cast<std::ptrdiff_t>(position_), text_.end(), RecordStart);
      if (found == text_.end())
        return Fail(anyRecord ? HexFault::NoEndRecord : HexFault::NoRecords, LastLine());
      anyRecord = true;
      const std::size_t start = static_cast<std::size_t>(found - text_.begin());
      position_ = start + 1;
      Record record;
      HexFault fault = Decode(record);
      if (fault == HexFault::None && record.Type() == HexRecordType::EndOfFile) return std::move(result_);
      if (fault == HexFault::None) fault = CheckLineEnd();
      if (fault == HexFault::None) fault = Apply(record);
      if (fault != HexFault::None) return Fail(fault, LineAt(text_, start));
    }
  }

 private:
  HexFault ReadByte(std::uint8_t& value) {
    int digits[2];
    for (int& digit : digits) {
      if (position_ == text_.size() || IsLineEnd(text_[position_])) return HexFault::CutRecord;
      digit = HexDigitValue(text_[position_++]);
      if (digit < 0) return HexFault::BadDigit;
    }
    value = static_cast<std::uint8_t>(digits[0] * 16 + digits[1]);
    return HexFault::None;
  }

  HexFault Decode(Record& record) {
    HexFault fault = ReadByte(record.bytes[0]);
    const std::size_t length = std::size_t{record.Count()} + 5;
    for (std::size_t i = 1; fault == HexFault::None && i < length; ++i) fault = ReadByte(record.bytes[i]);
    if (fault != HexFault::None) return fault;
    const unsigned sum = std::accumulate(record.bytes.begin(), record.bytes.begin() + length, 0u);
    return sum % 256 == 0 ? HexFault::None : HexFault::BadChecksum;
  }

  // Only blanks may follow a record's checksum on its line.
  HexFault CheckLineEnd() {
    while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\t')) ++position_;
    return position_ == text_.size() || IsLineEnd(text_[position_]) ? HexFault::None : HexFault::TrailingText;
  }

  HexFault Apply(const Record& record) {
    const auto data = record.Data();
    switch (record.Type()) {
      case HexRecordType::Data: {
        if (data.empty()) return HexFault::None;
        // 64-bit sums: a base near the top of the address space must not wrap to a small address.
        const std::uint64_t address = base_ + record.Offset();
        const std::uint64_t end = address + data.size();
        if (end >= MaxImageSize) return HexFault::TooLarge;
        if (end > result_.image.size()) result_.image.resize(end, GapByte);
        std::copy(data.begin(), data.end(), result_.image.begin() + static_cast<std::ptrdiff_t>(address));
        return HexFault::None;
      }
      case HexRecordType::SegmentAddress:
      case HexRecordType::LinearAddress: {
        if (data.size() != 2) return HexFault::BadAddressRecord;
        const std::uint64_t value = std::uint64_t{data[0]} << 8 | data[1];
        base_ = record.Type() == HexRecordType::SegmentAddress ? value << 4 : value << 16;
        return HexFault::None;
      }
      default:
        return HexFault::None;
    }
  }

  // The line of the text's last character (a line end belongs to the line it ends).
  std::size_t LastLine() const { return text_.empty() ? 1 : LineAt(text_, text_.size() - 1); }

  static HexReadResult Fail(HexFault fault, std::size_t line) {
    return {.image = {}, .fault = fault, .line = line};
  }

  std::span<const std::uint8_t> text_;
  std::size_t position_ = 0;
  std::uint64_t base_ = 0;
  HexReadResult result_;
};

const char* Reason(HexFault fault) {
  switch (fault) {
    case HexFault::NoRecords:
      return "в файле нет ни одной записи";
    case HexFault::NoEndRecord:
      return "нет записи конца файла";
    case HexFault::BadDigit:
      return "недопустимый символ в записи";
    case HexFault::CutRecord:
      return "запись обрывается раньше конца";
    case HexFault::TrailingText:
      return "лишние символы после записи";
    case HexFault::BadChecksum:
      return "неверная контрольная сумма";
    case HexFault::BadAddressRecord:
      return "неверная длина записи адреса";
    case HexFault::TooLarge:  // reported by the size warning
    case HexFault::None:
      break;
  }
  return "";
}

}  // namespace

HexReadResult ReadHexImage(std::span<const std::uint8_t> text) { return Parser(text).Run(); }

std::string HexFaultMessage(const std::string& path, HexFault fault, std::size_t line) {
  return "Ошибка в HEX-файле " + FileName(FilePath(path).filename()) + ", строка " + std::to_string(line) +
         ": " + Reason(fault);
}

bool LoadHexStream(MemoryImage& image, std::span<const std::uint8_t> text, const std::string& path) {
  const HexReadResult read = ReadHexImage(text);
  if (read.fault == HexFault::TooLarge) {
    image.View().ShowWarning(SizeWarningText);
    return false;
  }
  if (read.fault != HexFault::None) {
    image.View().SetStatusText(HexFaultMessage(path, read.fault, read.line));
    throw EAbort();
  }
  return LoadBinaryStream(image, read.image);
}

}  // namespace kestrel
