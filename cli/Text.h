#pragma once
// Small text helpers of the command line and its results.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel::cli {

// `text` without the blanks (space, tab, line feed, carriage return, form feed, vertical tab)
// around it.
std::string_view TrimBlanks(std::string_view text);

// `text` with each malformed UTF-8 sequence (its longest well-begun part, or one byte) replaced
// by U+FFFD.
std::string ValidUtf8(std::string_view text);

// "0x" and at least four upper-case hexadecimal digits.
std::string HexAddress(std::uint32_t address);

}  // namespace kestrel::cli
