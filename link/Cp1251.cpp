#include "link/Cp1251.h"

#include <algorithm>
#include <array>

namespace kestrel {
namespace {

// Code points of the bytes 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F in order.
constexpr std::array<char16_t, 64> kUpperHalf{
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

char32_t CodePoint(std::uint8_t byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return 0x0410 + (byte - 0xC0);
  return kUpperHalf[byte - 0x80];
}

std::uint8_t EncodeCodePoint(char32_t cp) {
  if (cp < 0x80) return static_cast<std::uint8_t>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<std::uint8_t>(0xC0 + (cp - 0x0410));
  const auto it = std::find(kUpperHalf.begin(), kUpperHalf.end(), cp);
  if (it == kUpperHalf.end()) return '?';
  return static_cast<std::uint8_t>(0x80 + (it - kUpperHalf.begin()));
}

// Decodes one UTF-8 sequence at text[pos], advancing pos; returns U+FFFD for a malformed one
// (which has no place in the code page and so becomes '?').
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  constexpr char32_t kBad = 0xFFFD;
  const auto lead = static_cast<std::uint8_t>(text[pos++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    cp = lead & 0x07;
  } else {
    return kBad;
  }
  for (int i = 0; i < extra; ++i) {
    if (pos >= text.size()) return kBad;
    const auto next = static_cast<std::uint8_t>(text[pos]);
    if ((next & 0xC0) != 0x80) return kBad;
    cp = (cp << 6) | (next & 0x3F);
    ++pos;
  }
  const char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
  if (cp < smallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kBad;
  return cp;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Cp1251ToUtf8(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const std::uint8_t byte : bytes) AppendUtf8(out, CodePoint(byte));
  return out;
}

std::vector<std::uint8_t> Utf8ToCp1251(std::string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) out.push_back(EncodeCodePoint(NextCodePoint(text, pos)));
  return out;
}

}  // namespace kestrel
