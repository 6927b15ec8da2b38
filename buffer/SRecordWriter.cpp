#include "buffer/SRecordWriter.h"

#include <algorithm>
#include <string>

#include "buffer/RecordWriter.h"

namespace kestrel {

namespace {

constexpr std::size_t BytesPerRecord = 16;
constexpr std::size_t MaxHeaderSize = 255 - 2 - 1;  // the length byte less address and checksum

void Record(RecordWriter& out, char type, std::size_t addressSize, std::uint32_t address,
            std::span<const std::uint8_t> data) {
  out.Start(std::string{'S', type});
  const std::uint8_t length[] = {static_cast<std::uint8_t>(addressSize + data.size() + 1)};
  const std::uint8_t addressBytes[] = {
      static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
      static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
  out.Bytes(length);
  out.Bytes(std::span(addressBytes).last(addressSize));
  out.Bytes(data);
  out.End(static_cast<std::uint8_t>(~out.Sum()));
}

}  // namespace

std::vector<std::uint8_t> WriteSRecordImage(std::span<const std::uint8_t> image, std::string_view header) {
  const std::uint64_t last = image.empty() ? 0 : image.size() - 1;
  const std::size_t addressSize = last <= 0xFFFF ? 2 : last <= 0xFFFFFF ? 3 : 4;
  // S1/S9, S2/S8, S3/S7.
  const char dataType = static_cast<char>('1' + addressSize - 2);
  const char endType = static_cast<char>('9' - (addressSize - 2));

  std::vector<std::uint8_t> text;
  // 4 + 2 * (addressSize + 17) characters a full data record, plus the header, count and end.
  text.reserve(image.size() / BytesPerRecord * (2 * addressSize + 38) + 2 * header.size() + 64);
  RecordWriter out(text);
  const auto name = header.substr(0, MaxHeaderSize);
  Record(out, '0', 2, 0, {reinterpret_cast<const std::uint8_t*>(name.data()), name.size()});
  std::uint32_t records = 0;
  for (std::size_t at = 0; at < image.size(); at += BytesPerRecord, ++records)
    Record(out, dataType, addressSize, static_cast<std::uint32_t>(at),
           image.subspan(at, std::min(BytesPerRecord, image.size() - at)));
  if (records <= 0xFFFF)
    Record(out, '5', 2, records, {});
  else
    Record(out, '6', 3, records, {});
  Record(out, endType, addressSize, 0, {});
  return text;
}

}  // namespace kestrel
