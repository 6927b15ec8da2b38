#include "emulator/Payload.h"

#include <algorithm>

#include "link/Cp1251.h"
#include "link/Frame.h"

namespace kestrel::emulator {

std::uint32_t ReadU32(std::span<const std::uint8_t> payload, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t{payload[offset + i]} << (8 * i);
  return value;
}

Reply& Reply::U8(std::uint8_t value) {
  bytes_.push_back(value);
  return *this;
}

Reply& Reply::U32(std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return *this;
}

Reply& Reply::Raw(std::span<const std::uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

Reply& Reply::Counted(std::span<const std::uint8_t> bytes) {
  const std::size_t room = MaxPayloadSize > bytes_.size() + 1 ? MaxPayloadSize - bytes_.size() - 1 : 0;
  const auto kept = bytes.first(std::min(bytes.size(), room));
  return U8(static_cast<std::uint8_t>(kept.size())).Raw(kept);
}

Reply& Reply::Text(std::string_view utf8) { return Counted(Utf8ToCp1251(utf8)); }

Bytes Reply::Take() {
  if (bytes_.size() > MaxPayloadSize) bytes_.resize(MaxPayloadSize);
  return std::move(bytes_);
}

}  // namespace kestrel::emulator
