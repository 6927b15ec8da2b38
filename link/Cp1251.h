#pragma once
// Code page 1251 (Windows Cyrillic), the device's text encoding, to and from UTF-8.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// Every byte becomes one character; the one byte without a Cyrillic meaning, 0x98, maps to
// U+0098 so that decoding never loses a byte.
std::string Cp1251ToUtf8(std::span<const std::uint8_t> bytes);

// Every character becomes one byte; characters outside the code page and malformed UTF-8
// sequences become '?'.
std::vector<std::uint8_t> Utf8ToCp1251(std::string_view text);

// Appends the UTF-8 bytes of a character of the Basic Multilingual Plane.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace kestrel
