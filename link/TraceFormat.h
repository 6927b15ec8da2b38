#pragma once
// The text of a line trace, shared by the program's trace and the emulator's:
//   [stamp] -> GetChipName: D1 E0 EB EE 02 A4 FA 00 FA
// "->" marks bytes sent, "<-" bytes received and "--" a note; the bytes are in hexadecimal.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kestrel {

// The command's name, e.g. "GetChipName"; "opcode 0x42" for an unknown one.
std::string OpcodeName(std::uint8_t opcode);

// "[stamp] arrow what", then ":" and the bytes when there are any.
std::string TraceLine(std::string_view stamp, std::string_view arrow, std::string_view what,
                      std::span<const std::uint8_t> bytes = {});

}  // namespace kestrel
