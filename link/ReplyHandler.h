#pragma once
// What the device's replies do. Each reply is trusted only as far as it reaches: fields it
// does not hold are not read, and data outside DataBuffer, the boxes or the lines is dropped.

#include <cstdint>

#include "link/Session.h"

namespace kestrel {

// Acts on the reply in ReplyRecord (ReplyLength bytes), which answers the head of the queue.
void HandleReply(Session&);

// Rebuilds the command list with the caption of every chip command whose bit is set in `mask`,
// in ascending order, and records each row's opcode in RowCommands.
void FillCommandList(Session&, std::uint32_t mask);

}  // namespace kestrel
