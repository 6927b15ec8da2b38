// The chip commands: signature, fuse and lock bits, erasing, and the memory blocks.

#include <algorithm>

#include "emulator/Device.h"
#include "link/CommandCatalogue.h"

namespace kestrel::emulator {

namespace {

enum class BlockAction { Read, Write, Verify };

struct BlockCommand {
  MemoryKind memory;
  BlockAction action;
};

std::optional<BlockCommand> BlockCommandOf(std::uint8_t opcode) {
  switch (opcode) {
    case OpReadProgramMemory:
      return BlockCommand{MemoryKind::Flash, BlockAction::Read};
    case OpWriteProgramMemory:
      return BlockCommand{MemoryKind::Flash, BlockAction::Write};
    case OpVerifyProgramMemory:
      return BlockCommand{MemoryKind::Flash, BlockAction::Verify};
    case OpReadEeprom:
      return BlockCommand{MemoryKind::Eeprom, BlockAction::Read};
    case OpWriteEeprom:
      return BlockCommand{MemoryKind::Eeprom, BlockAction::Write};
    case OpVerifyEeprom:
      return BlockCommand{MemoryKind::Eeprom, BlockAction::Verify};
    case OpReadRam:
      return BlockCommand{MemoryKind::Ram, BlockAction::Read};
    case OpWriteRam:
      return BlockCommand{MemoryKind::Ram, BlockAction::Write};
    case OpVerifyRam:
      return BlockCommand{MemoryKind::Ram, BlockAction::Verify};
    default:
      return std::nullopt;
  }
}

// Flash and EEPROM cells can only lose bits when written: erasing is what sets them again.
// RAM simply takes the data.
void Store(MemoryKind memory, std::span<std::uint8_t> cells, std::span<const std::uint8_t> data) {
  if (memory == MemoryKind::Ram) {
    std::copy(data.begin(), data.end(), cells.begin());
    return;
  }
  std::transform(cells.begin(), cells.end(), data.begin(), cells.begin(),
                 [](std::uint8_t old, std::uint8_t next) { return static_cast<std::uint8_t>(old & next); });
}

std::optional<Bytes> ExecuteBlock(BlockCommand command, ChipState& chip,
                                  std::span<const std::uint8_t> payload, bool& changed) {
  if (payload.size() < BlockHeaderSize) return std::nullopt;
  const std::uint8_t opcode = payload[0];
  const std::uint32_t address = ReadU32(payload, 1);
  const std::uint8_t count = payload[5];
  Bytes& memory = chip.Memory(command.memory);
  if (count == 0 || address > memory.size() || count > memory.size() - address) return std::nullopt;
  const std::span<std::uint8_t> cells = std::span(memory).subspan(address, count);
  if (command.action == BlockAction::Read) return Reply(opcode).U32(address).U8(count).Raw(cells).Take();

  if (payload.size() < BlockHeaderSize + count) return std::nullopt;
  const auto data = payload.subspan(BlockHeaderSize, count);
  if (command.action == BlockAction::Verify) {
    const bool equal = std::equal(cells.begin(), cells.end(), data.begin());
    return Reply(opcode).U32(address).U8(count).U8(equal ? 1 : 0).Take();
  }
  Store(command.memory, cells, data);
  changed = changed || command.memory != MemoryKind::Ram;
  return Reply(opcode).Take();
}

}  // namespace

std::optional<Bytes> ExecuteChipCommand(const ChipType& type, ChipState& chip,
                                        std::span<const std::uint8_t> payload, bool& changed) {
  const std::uint8_t opcode = payload[0];
  if ((type.commandMask >> opcode & 1) == 0) return std::nullopt;
  if (const auto block = BlockCommandOf(opcode)) return ExecuteBlock(*block, chip, payload, changed);

  switch (opcode) {
    case OpReadSignature:
      return Reply(opcode).Counted(chip.signature).U8(chip.signature == type.signature ? 1 : 0).Take();
    case OpReadFuseBits:
      return Reply(opcode).Counted(chip.fuses).Take();
    case OpReadLockBits:
      return Reply(opcode).Counted(chip.locks).Take();
    case OpWriteFuseBit:
      if (payload.size() < 3 || payload[1] >= chip.fuses.size()) return std::nullopt;
      chip.fuses[payload[1]] = payload[2] != 0 ? 1 : 0;
      break;
    case OpWriteLockBit:
      // A lock bit is programmed by writing it and cleared only by erasing the chip.
      if (payload.size() < 2 || payload[1] >= chip.locks.size()) return std::nullopt;
      chip.locks[payload[1]] = 1;
      break;
    case OpEraseAll:
      std::fill(chip.flash.begin(), chip.flash.end(), 0xFF);
      std::fill(chip.eeprom.begin(), chip.eeprom.end(), 0xFF);
      std::fill(chip.locks.begin(), chip.locks.end(), 0);
      break;
    case OpEraseProgramMemory:
      std::fill(chip.flash.begin(), chip.flash.end(), 0xFF);
      break;
    case OpEraseEeprom:
      std::fill(chip.eeprom.begin(), chip.eeprom.end(), 0xFF);
      break;
    case OpEraseRam:
      std::fill(chip.ram.begin(), chip.ram.end(), 0x00);
      return Reply(opcode).Take();
    case OpEnableProgramming:
    case OpDisableProgramming:
      return Reply(opcode).Take();
    default:
      return std::nullopt;
  }
  changed = true;
  return Reply(opcode).Take();
}

}  // namespace kestrel::emulator
