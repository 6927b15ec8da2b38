#include "link/TraceFormat.h"

#include <array>
#include <cstdio>

#include "link/CommandCatalogue.h"

namespace kestrel {

std::string OpcodeName(std::uint8_t opcode) {
  if (const CommandEntry* entry = FindCommand(opcode)) return std::string(entry->traceName);
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "opcode 0x%02X", opcode);
  return text.data();
}

std::string TraceLine(std::string_view stamp, std::string_view arrow, std::string_view what,
                      std::span<const std::uint8_t> bytes) {
  std::string line;
  line.reserve(stamp.size() + what.size() + 8 + 3 * bytes.size());
  line.append("[").append(stamp).append("] ").append(arrow).append(" ").append(what);
  if (!bytes.empty()) line += ":";
  static constexpr char Digits[] = "0123456789ABCDEF";
  for (const std::uint8_t byte : bytes) {
    line += ' ';
    line += Digits[byte >> 4];
    line += Digits[byte & 0x0F];
  }
  return line;
}

}  // namespace kestrel
