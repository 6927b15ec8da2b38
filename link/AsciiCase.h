#pragma once
// Names compared as the device, the command line and the port names do: ASCII letters in either
// case, every other byte as it is (so the rules hold whatever the locale).

#include <algorithm>
#include <string_view>

namespace kestrel {

constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

}  // namespace kestrel
