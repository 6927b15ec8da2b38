#pragma once
// The command set in one table: every opcode the device knows, with the name the line trace
// gives it and, for the chip commands, the caption of the command list and kestrel-cli's words.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel {

enum Opcode : std::uint8_t {
  OpReadSignature = 0x00,
  OpEnableProgramming = 0x01,
  OpDisableProgramming = 0x02,
  OpReadFuseBits = 0x03,
  OpWriteFuseBit = 0x04,
  OpReadLockBits = 0x05,
  OpWriteLockBit = 0x06,
  OpEraseAll = 0x07,
  OpEraseProgramMemory = 0x08,
  OpReadProgramMemory = 0x09,
  OpWriteProgramMemory = 0x0A,
  OpVerifyProgramMemory = 0x0B,
  OpEraseEeprom = 0x0C,
  OpReadEeprom = 0x0D,
  OpWriteEeprom = 0x0E,
  OpVerifyEeprom = 0x0F,
  OpEraseRam = 0x10,
  OpReadRam = 0x11,
  OpWriteRam = 0x12,
  OpVerifyRam = 0x13,
  OpGetRamSize = 0xF1,
  OpGetEepromSize = 0xF2,
  OpGetProgramMemorySize = 0xF3,
  OpGetLockBitName = 0xF4,
  OpGetLockBitCount = 0xF5,
  OpGetFuseBitName = 0xF6,
  OpGetFuseBitCount = 0xF7,
  OpGetCommandMask = 0xF8,
  OpSelectChip = 0xF9,
  OpGetChipName = 0xFA,
  OpGetChipCount = 0xFB,
  OpGetInfoLine = 0xFC,
  OpGetInfoLineCount = 0xFD,
  OpGetProgrammerName = 0xFE,
  OpEndOperation = 0xFF,
};

// Chip commands have opcodes below this; programmer queries and settings count down from 0xFF.
inline constexpr std::uint8_t FirstProgrammerOpcode = 0x20;
// The bits of the command mask, one per chip command opcode.
inline constexpr std::size_t CommandMaskBits = 32;

// Block commands: opcode, address (u32 little-endian), count, then the data of writes and verifies.
inline constexpr std::size_t BlockHeaderSize = 6;

// A chip command: what the device's command mask can offer, by its opcode. Mask bits past
// VerifyRam stand for no known command but still take their value.
enum class ChipCommand : std::uint8_t {
  ReadSignature = OpReadSignature,
  EnableProgramming = OpEnableProgramming,
  DisableProgramming = OpDisableProgramming,
  ReadFuseBits = OpReadFuseBits,
  WriteFuseBits = OpWriteFuseBit,
  ReadLockBits = OpReadLockBits,
  WriteLockBits = OpWriteLockBit,
  EraseAll = OpEraseAll,
  EraseProgramMemory = OpEraseProgramMemory,
  ReadProgramMemory = OpReadProgramMemory,
  WriteProgramMemory = OpWriteProgramMemory,
  VerifyProgramMemory = OpVerifyProgramMemory,
  EraseEeprom = OpEraseEeprom,
  ReadEeprom = OpReadEeprom,
  WriteEeprom = OpWriteEeprom,
  VerifyEeprom = OpVerifyEeprom,
  EraseRam = OpEraseRam,
  ReadRam = OpReadRam,
  WriteRam = OpWriteRam,
  VerifyRam = OpVerifyRam,
};

constexpr std::uint8_t OpcodeOf(ChipCommand command) { return static_cast<std::uint8_t>(command); }

struct CommandEntry {
  std::uint8_t opcode;
  std::string_view traceName;  // "GetChipName"
  std::string_view caption;    // the command list's row; chip commands only
  std::string_view words;      // kestrel-cli's "read flash"; chip commands only
};

// The entry of `opcode`; null for an opcode the device does not know.
const CommandEntry* FindCommand(std::uint8_t opcode);

// The command list's caption of a mask bit: empty for a bit no command stands for.
std::string_view CommandCaption(ChipCommand command);
// kestrel-cli's words for a chip command ("erase all"); "command N" for an unknown one.
std::string CommandWords(ChipCommand command);

}  // namespace kestrel
