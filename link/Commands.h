#pragma once
// The command set: one queueing operation per command, each composing its payload and
// appending it to the CommandQueue. Indices are cut to their low 8 bits (-1 goes out as 0xFF).

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "link/CommandQueue.h"

namespace kestrel {

// Captions of the chip commands by opcode, as the command list shows them; rows 20..31 are empty.
extern const std::array<std::string_view, 32> CommandNames;

// Chip commands have opcodes below this; programmer queries and settings count down from 0xFF.
inline constexpr std::uint8_t FirstProgrammerOpcode = 0x20;

// Opcodes.
enum Opcode : std::uint8_t {
  OpReadSignature = 0x00,
  OpReadFuseBits = 0x03,
  OpWriteFuseBit = 0x04,
  OpReadLockBits = 0x05,
  OpWriteLockBit = 0x06,
  OpEraseAll = 0x07,
  OpReadProgramMemory = 0x09,
  OpWriteProgramMemory = 0x0A,
  OpVerifyProgramMemory = 0x0B,
  OpEraseEeprom = 0x0C,
  OpReadEeprom = 0x0D,
  OpWriteEeprom = 0x0E,
  OpVerifyEeprom = 0x0F,
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

// Block commands: opcode, address (u32 little-endian), count, then the data of writes and verifies.
inline constexpr std::size_t BlockHeaderSize = 6;

// Programmer queries and settings.
void EndOperation(CommandQueue&);
void GetProgrammerName(CommandQueue&);
void GetInfoLineCount(CommandQueue&);
void GetInfoLine(CommandQueue&, int index);
void GetChipCount(CommandQueue&);
void GetChipName(CommandQueue&, int index);
void SelectChip(CommandQueue&, int index);
void GetCommandMask(CommandQueue&);
void GetFuseBitCount(CommandQueue&);
void GetFuseBitName(CommandQueue&, int index);
void GetLockBitCount(CommandQueue&);
void GetLockBitName(CommandQueue&, int index);
void GetProgramMemorySize(CommandQueue&);
void GetEepromSize(CommandQueue&);
void GetRamSize(CommandQueue&);

// Chip commands.
void ReadSignature(CommandQueue&);
void ReadFuseBits(CommandQueue&);
void WriteFuseBit(CommandQueue&, int index, bool state);
void ReadLockBits(CommandQueue&);
void WriteLockBit(CommandQueue&, int index);
void EraseAll(CommandQueue&);
void EraseEeprom(CommandQueue&);

// Memory blocks. Writes and verifies copy `count` bytes of `image` from `address` at the moment
// of queueing; a block reaching past the image carries only the bytes the image holds (its
// count says so), and one with no byte inside the image is not queued. A write or verify block
// carries at most 249 bytes, the most a frame can hold.
void ReadProgramMemory(CommandQueue&, std::uint32_t address, std::uint8_t count);
void WriteProgramMemory(CommandQueue&, std::uint32_t address, std::uint8_t count,
                        std::span<const std::uint8_t> image);
void VerifyProgramMemory(CommandQueue&, std::uint32_t address, std::uint8_t count,
                         std::span<const std::uint8_t> image);
void ReadEeprom(CommandQueue&, std::uint32_t address, std::uint8_t count);
void WriteEeprom(CommandQueue&, std::uint32_t address, std::uint8_t count,
                 std::span<const std::uint8_t> image);
void VerifyEeprom(CommandQueue&, std::uint32_t address, std::uint8_t count,
                  std::span<const std::uint8_t> image);

}  // namespace kestrel
