#include "buffer/SRecordReader.h"

#include <array>
#include <numeric>
#include <optional>

#include "buffer/ImageBuilder.h"
#include "buffer/RecordScanner.h"

namespace kestrel {

namespace {

enum class Kind { Header, Data, Count, End };

struct RecordType {
  Kind kind;
  std::uint8_t addressSize;  // bytes
};

// By the digit after "S"; S4 is reserved.
constexpr std::array<std::optional<RecordType>, 10> RecordTypes{{
    RecordType{Kind::Header, 2},
    RecordType{Kind::Data, 2},
    RecordType{Kind::Data, 3},
    RecordType{Kind::Data, 4},
    std::nullopt,
    RecordType{Kind::Count, 2},
    RecordType{Kind::Count, 3},
    RecordType{Kind::End, 4},
    RecordType{Kind::End, 3},
    RecordType{Kind::End, 2},
}};

// One record: its type, then its bytes: length, address, data, checksum.
struct Record {
  RecordType type{};
  std::array<std::uint8_t, 256> bytes{};

  std::uint8_t Length() const { return bytes[0]; }
  std::uint32_t Address() const {
    return std::accumulate(bytes.begin() + 1, bytes.begin() + 1 + type.addressSize, std::uint32_t{0},
                           [](std::uint32_t value, std::uint8_t byte) { return value << 8 | byte; });
  }
  std::span<const std::uint8_t> Data() const {
    return {bytes.data() + 1 + type.addressSize, std::size_t{Length()} - type.addressSize - 1u};
  }
};

ImageFault Decode(RecordScanner& scanner, Record& record) {
  std::uint8_t digit = 0;
  if (const ImageFault fault = scanner.ReadCharacter(digit); fault != ImageFault::None) return fault;
  if (digit < '0' || digit > '9' || !RecordTypes[digit - '0']) return ImageFault::BadRecordType;
  record.type = *RecordTypes[digit - '0'];
  const std::span<std::uint8_t> bytes(record.bytes);
  ImageFault fault = scanner.ReadBytes(bytes.first(1));
  if (fault == ImageFault::None) fault = scanner.ReadBytes(bytes.subspan(1, record.Length()));
  if (fault != ImageFault::None) return fault;
  // Header and data records may carry data; the others hold their address and checksum only.
  const std::size_t bare = record.type.addressSize + 1u;
  const bool carriesData = record.type.kind == Kind::Header || record.type.kind == Kind::Data;
  if (carriesData ? record.Length() < bare : record.Length() != bare) return ImageFault::BadRecordLength;
  const unsigned sum = std::accumulate(bytes.begin(), bytes.begin() + 1 + record.Length(), 0u);
  return sum % 256 == 0xFF ? ImageFault::None : ImageFault::BadChecksum;
}

}  // namespace

ImageReadResult ReadSRecordImage(std::span<const std::uint8_t> text) {
  RecordScanner scanner(text);
  ImageBuilder image;
  std::uint32_t dataRecords = 0;
  bool anyRecord = false;
  // Whether a count record came after the last data record: the text may end there.
  bool counted = false;
  while (scanner.NextRecord('S')) {
    anyRecord = true;
    Record record;
    ImageFault fault = Decode(scanner, record);
    if (fault == ImageFault::None) fault = scanner.EndOfRecord();
    if (fault == ImageFault::None) {
      switch (record.type.kind) {
        case Kind::Header:
          break;
        case Kind::Data:
          ++dataRecords;
          counted = false;
          fault = image.Place(record.Address(), record.Data());
          break;
        case Kind::Count:
          counted = record.Address() == dataRecords;
          if (!counted) fault = ImageFault::BadRecordCount;
          break;
        case Kind::End:
          return {.image = image.Take()};
      }
    }
    if (fault != ImageFault::None) return Refused(fault, scanner.RecordLine());
  }
  if (counted) return {.image = image.Take()};
  return Refused(anyRecord ? ImageFault::NoEndRecord : ImageFault::NoRecords, scanner.LastLine());
}

}  // namespace kestrel
