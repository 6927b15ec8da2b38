#pragma once
// The command set: one queueing operation per command, each composing its payload and
// appending it to the CommandQueue. Indices are cut to their low 8 bits (-1 goes out as 0xFF).

#include <cstdint>
#include <span>

#include "link/CommandCatalogue.h"
#include "link/CommandQueue.h"

namespace kestrel {

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

// A command with no parameters: EraseAll, EraseEeprom, ReadSignature, ...
void QueueCommand(CommandQueue&, std::uint8_t opcode);

// Memory blocks. Writes and verifies copy `count` bytes of `image` from `address` at the moment
// of queueing; a block reaching past the image carries only the bytes the image holds (its
// count says so), and one with no byte inside the image is not queued. A write or verify block
// carries at most 249 bytes, the most a frame can hold.
void QueueReadBlock(CommandQueue&, std::uint8_t opcode, std::uint32_t address, std::uint8_t count);
void QueueDataBlock(CommandQueue&, std::uint8_t opcode, std::uint32_t address, std::uint8_t count,
                    std::span<const std::uint8_t> image);
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
