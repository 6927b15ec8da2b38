#include "buffer/HexReader.h"

#include <array>
#include <numeric>

#include "buffer/HexRecordType.h"
#include "buffer/ImageBuilder.h"
#include "buffer/RecordScanner.h"

namespace kestrel {

namespace {

// One record as its bytes: count, offset (2), type, count data bytes, checksum.
struct Record {
  std::array<std::uint8_t, 255 + 5> bytes{};

  std::uint8_t Count() const { return bytes[0]; }
  std::uint32_t Offset() const { return std::uint32_t{bytes[1]} << 8 | bytes[2]; }
  std::uint8_t Type() const { return bytes[3]; }
  std::span<const std::uint8_t> Data() const { return {bytes.data() + 4, Count()}; }
};

ImageFault Decode(RecordScanner& scanner, Record& record) {
  const std::span<std::uint8_t> bytes(record.bytes);
  ImageFault fault = scanner.ReadBytes(bytes.first(1));
  const std::size_t length = std::size_t{record.Count()} + 5;
  if (fault == ImageFault::None) fault = scanner.ReadBytes(bytes.subspan(1, length - 1));
  if (fault != ImageFault::None) return fault;
  const unsigned sum =
      std::accumulate(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length), 0u);
  return sum % 256 == 0 ? ImageFault::None : ImageFault::BadChecksum;
}

class Reader {
 public:
  ImageFault Apply(const Record& record) {
    const auto data = record.Data();
    switch (record.Type()) {
      case HexRecordType::Data:
        return image_.Place(base_ + record.Offset(), data);
      case HexRecordType::SegmentAddress:
      case HexRecordType::LinearAddress: {
        if (data.size() != 2) return ImageFault::BadAddressRecord;
        const std::uint64_t value = std::uint64_t{data[0]} << 8 | data[1];
        base_ = record.Type() == HexRecordType::SegmentAddress ? value << 4 : value << 16;
        return ImageFault::None;
      }
      default:
        return ImageFault::None;
    }
  }

  std::vector<std::uint8_t> TakeImage() { return image_.Take(); }

 private:
  std::uint64_t base_ = 0;
  ImageBuilder image_;
};

}  // namespace

ImageReadResult ReadHexImage(std::span<const std::uint8_t> text) {
  RecordScanner scanner(text);
  Reader reader;
  bool anyRecord = false;
  while (scanner.NextRecord(':')) {
    anyRecord = true;
    Record record;
    ImageFault fault = Decode(scanner, record);
    if (fault == ImageFault::None) fault = scanner.EndOfRecord();
    if (fault == ImageFault::None && record.Type() == HexRecordType::EndOfFile)
      return {.image = reader.TakeImage()};
    if (fault == ImageFault::None) fault = reader.Apply(record);
    if (fault != ImageFault::None) return Refused(fault, scanner.RecordLine());
  }
  return Refused(anyRecord ? ImageFault::NoEndRecord : ImageFault::NoRecords, scanner.LastLine());
}

}  // namespace kestrel
