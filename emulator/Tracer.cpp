#include "emulator/Tracer.h"

#include <array>
#include <cstdio>

#include "link/Frame.h"

namespace kestrel::emulator {

namespace {

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

Tracer::Tracer(Sink sink) : sink_(std::move(sink)), start_(Clock::now()) {}

void Tracer::Received(std::span<const std::uint8_t> payload) {
  if (On()) Line("<-", OpcodeName(payload[0]), ComposeFrame(payload));
}

void Tracer::Sent(std::string_view what, std::span<const std::uint8_t> bytes) {
  if (On()) Line("->", what, bytes);
}

void Tracer::Note(std::string_view text) {
  if (On()) Line("--", text, {});
}

void Tracer::Line(std::string_view arrow, std::string_view what, std::span<const std::uint8_t> bytes) {
  const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  std::array<char, 32> stamp{};
  std::snprintf(stamp.data(), stamp.size(), "[%10.6f] ", seconds);
  std::string line = stamp.data();
  line.append(arrow).append(" ").append(what);
  if (!bytes.empty()) line += ":";
  for (const std::uint8_t byte : bytes) {
    std::array<char, 4> hex{};
    std::snprintf(hex.data(), hex.size(), " %02X", byte);
    line += hex.data();
  }
  sink_(line);
}

}  // namespace kestrel::emulator
