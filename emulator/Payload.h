#pragma once
// Reading command payloads and composing reply payloads: little-endian integers and the
// device's counted texts (a length byte, then code page 1251 characters).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kestrel::emulator {

using Bytes = std::vector<std::uint8_t>;

// The 32-bit little-endian value at `offset`; the caller has checked the length.
std::uint32_t ReadU32(std::span<const std::uint8_t> payload, std::size_t offset);

// Builds a reply payload, opcode first. Bytes past the 255 a frame can hold are cut off.
class Reply {
 public:
  explicit Reply(std::uint8_t opcode) : bytes_{opcode} {}
  Reply& U8(std::uint8_t value);
  Reply& U32(std::uint32_t value);
  Reply& Raw(std::span<const std::uint8_t> bytes);
  // A length byte, then the bytes.
  Reply& Counted(std::span<const std::uint8_t> bytes);
  // A UTF-8 text sent as a counted code page 1251 text.
  Reply& Text(std::string_view utf8);
  Bytes Take();

 private:
  Bytes bytes_;
};

}  // namespace kestrel::emulator
