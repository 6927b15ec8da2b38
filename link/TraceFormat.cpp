#include "link/TraceFormat.h"

#include <array>
#include <cstdio>

namespace kestrel {

namespace {

// Every chip command the device knows, the ones the program never sends included.
const std::array<std::string_view, 20> ChipCommandNames{
    "ReadSignature",      "EnableProgramming", "DisableProgramming", "ReadFuseBits",
    "WriteFuseBit",       "ReadLockBits",      "WriteLockBit",       "EraseAll",
    "EraseProgramMemory", "ReadProgramMemory", "WriteProgramMemory", "VerifyProgramMemory",
    "EraseEeprom",        "ReadEeprom",        "WriteEeprom",        "VerifyEeprom",
    "EraseRam",           "ReadRam",           "WriteRam",           "VerifyRam",
};

// Opcodes 0xF1 to 0xFF.
const std::array<std::string_view, 15> QueryNames{
    "GetRamSize",     "GetEepromSize",   "GetProgramMemorySize", "GetLockBitName",    "GetLockBitCount",
    "GetFuseBitName", "GetFuseBitCount", "GetCommandMask",       "SelectChip",        "GetChipName",
    "GetChipCount",   "GetInfoLine",     "GetInfoLineCount",     "GetProgrammerName", "EndOperation",
};

}  // namespace

std::string OpcodeName(std::uint8_t opcode) {
  if (opcode < ChipCommandNames.size()) return std::string(ChipCommandNames[opcode]);
  if (opcode >= 0xF1) return std::string(QueryNames[opcode - 0xF1]);
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
