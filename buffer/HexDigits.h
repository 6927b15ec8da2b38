#pragma once
// Hexadecimal digits: written in upper case, read in either case.

#include <array>
#include <cstdint>
#include <string>

namespace kestrel {

inline constexpr char UpperHexDigits[] = "0123456789ABCDEF";

inline constexpr std::array<std::int8_t, 256> HexDigitValues = [] {
  std::array<std::int8_t, 256> values{};
  values.fill(-1);
  for (int c = 0; c < 16; ++c)
    values[static_cast<unsigned char>(UpperHexDigits[c])] = static_cast<std::int8_t>(c);
  for (int c = 10; c < 16; ++c) values['a' + c - 10] = static_cast<std::int8_t>(c);
  return values;
}();

// The value of a hexadecimal digit character; -1 for any other character.
constexpr int HexDigitValue(unsigned char c) { return HexDigitValues[c]; }

// Upper-case hexadecimal without prefix or leading zeros.
std::string HexText(std::uint32_t value);
// Always two upper-case digits.
std::string ByteToHex(std::uint8_t value);

}  // namespace kestrel
