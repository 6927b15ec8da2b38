#include "buffer/HexWriter.h"

#include <algorithm>

#include "buffer/HexRecordType.h"
#include "buffer/RecordWriter.h"

namespace kestrel {

namespace {

constexpr std::size_t BytesPerRecord = 16;

void Record(RecordWriter& out, std::uint16_t offset, std::uint8_t type, std::span<const std::uint8_t> data) {
  out.Start(":");
  const std::uint8_t head[] = {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(offset >> 8),
                               static_cast<std::uint8_t>(offset), type};
  out.Bytes(head);
  out.Bytes(data);
  out.End(static_cast<std::uint8_t>(-out.Sum()));
}

}  // namespace

std::vector<std::uint8_t> WriteHexImage(std::span<const std::uint8_t> image) {
  std::vector<std::uint8_t> text;
  // 45 characters a full data record, plus the address and end records.
  text.reserve(image.size() / BytesPerRecord * 45 + image.size() / 0x10000 * 17 + 64);
  RecordWriter out(text);
  std::size_t upper = 0;
  for (std::size_t at = 0; at < image.size(); at += BytesPerRecord) {
    // Records start at multiples of 16, so none runs across a 64 KiB boundary.
    if (at >> 16 != upper) {
      upper = at >> 16;
      const std::uint8_t base[] = {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)};
      Record(out, 0, HexRecordType::LinearAddress, base);
    }
    Record(out, static_cast<std::uint16_t>(at), HexRecordType::Data,
           image.subspan(at, std::min(BytesPerRecord, image.size() - at)));
  }
  Record(out, 0, HexRecordType::EndOfFile, {});
  return text;
}

}  // namespace kestrel
