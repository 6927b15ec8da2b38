#pragma once
// The Intel HEX record types the reader and the writer act on.

#include <cstdint>

namespace kestrel::HexRecordType {

inline constexpr std::uint8_t Data = 0x00;
inline constexpr std::uint8_t EndOfFile = 0x01;
inline constexpr std::uint8_t SegmentAddress = 0x02;  // base = value * 16
inline constexpr std::uint8_t LinearAddress = 0x04;   // base = value * 65536

}  // namespace kestrel::HexRecordType
