#pragma once
// Memory transfers go to the device in blocks of at most 224 bytes a frame.

#include <cstdint>

#include "operations/Session.h"

namespace kestrel {

inline constexpr std::uint32_t MaxBlockSize = 224;

// Queues one block command (ReadProgramMemory, WriteEeprom, ...) for the session.
using BlockCommand = void (*)(Session&, std::uint32_t address, std::uint8_t count);

// Queues `command` for the range 0..length in ascending blocks: every block but the last holds
// MaxBlockSize bytes. An empty range queues nothing.
void QueueBlocks(Session& session, BlockCommand command, std::uint32_t length);

}  // namespace kestrel
