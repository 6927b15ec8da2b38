#include "buffer/HexDigits.h"

#include <iterator>

namespace kestrel {

std::string HexText(std::uint32_t value) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = UpperHexDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  return std::string(std::make_reverse_iterator(digits + n), std::make_reverse_iterator(digits));
}

std::string ByteToHex(std::uint8_t value) {
  return {UpperHexDigits[value >> 4], UpperHexDigits[value & 0xF]};
}

}  // namespace kestrel
