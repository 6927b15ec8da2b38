#pragma once
// What the device's replies mean. Each reply is trusted only as far as it reaches: fields it
// does not hold are not read, and data outside the image, the boxes or the lines is dropped.

#include <cstdint>
#include <span>

#include "operations/Session.h"

namespace kestrel {

// Acts on `reply`, which answers `request`, the head of the queue.
void HandleReply(Session&, std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request);

// Rebuilds the command list with the caption of every chip command whose bit is set in `mask`,
// in ascending order, and records each row's opcode in RowCommands.
void FillCommandList(Session&, std::uint32_t mask);

}  // namespace kestrel
