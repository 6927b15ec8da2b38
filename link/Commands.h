#pragma once
// The command set: one queueing operation per command, each composing its payload and
// appending it to the CommandQueue. Indices are cut to their low 8 bits (-1 goes out as 0xFF).

#include <array>
#include <cstdint>
#include <string_view>

#include "link/Session.h"

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
void EndOperation(Session&);
void GetProgrammerName(Session&);
void GetInfoLineCount(Session&);
void GetInfoLine(Session&, int index);
void GetChipCount(Session&);
void GetChipName(Session&, int index);
void SelectChip(Session&, int index);
void GetCommandMask(Session&);
void GetFuseBitCount(Session&);
void GetFuseBitName(Session&, int index);
void GetLockBitCount(Session&);
void GetLockBitName(Session&, int index);
void GetProgramMemorySize(Session&);
void GetEepromSize(Session&);
void GetRamSize(Session&);

// Chip commands.
void ReadSignature(Session&);
void ReadFuseBits(Session&);
void WriteFuseBit(Session&, int index, bool state);
void ReadLockBits(Session&);
void WriteLockBit(Session&, int index);
void EraseAll(Session&);
void EraseEeprom(Session&);

// Memory blocks. Writes and verifies copy `count` bytes of DataBuffer from `address` at the
// moment of queueing; a block reaching past the buffer carries only the bytes the buffer
// holds (its count says so), and one with no byte inside the buffer is not queued. A write
// or verify block carries at most 249 bytes, the most a frame can hold.
void ReadProgramMemory(Session&, std::uint32_t address, std::uint8_t count);
void WriteProgramMemory(Session&, std::uint32_t address, std::uint8_t count);
void VerifyProgramMemory(Session&, std::uint32_t address, std::uint8_t count);
void ReadEeprom(Session&, std::uint32_t address, std::uint8_t count);
void WriteEeprom(Session&, std::uint32_t address, std::uint8_t count);
void VerifyEeprom(Session&, std::uint32_t address, std::uint8_t count);

}  // namespace kestrel
