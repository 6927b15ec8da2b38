#pragma once
// The two chip memories the operations read, write and verify: the commands of each, the size
// the device reported and the write options that apply. kestrel-cli asks the same table which
// erase and verify a write needs.

#include <cstdint>
#include <vector>

#include "link/CommandCatalogue.h"
#include "operations/Session.h"
#include "operations/WriteOptions.h"

namespace kestrel {

// Memory transfers go to the device in blocks of at most 224 bytes a frame.
inline constexpr std::uint32_t MaxBlockSize = 224;

struct ChipMemory {
  std::uint32_t ChipProperties::*size;
  ChipCommand read;
  ChipCommand write;
  ChipCommand verify;
  ChipCommand erase;  // the erase a write with the erase option queues first
  MemoryWriteOptions WriteOptions::*options;
};

extern const ChipMemory ProgramMemory;
extern const ChipMemory Eeprom;

// The chip commands a write of `memory` sends with `options`: the write, then the erase and the
// verify the options ask for.
std::vector<ChipCommand> CommandsOfWrite(const ChipMemory& memory, const MemoryWriteOptions& options);

}  // namespace kestrel
