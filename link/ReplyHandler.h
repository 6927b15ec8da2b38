#pragma once
// What the device's replies do. Each reply is trusted only as far as it reaches: fields it
// does not hold are not read, and data outside DataBuffer, the boxes or the lines is dropped.

#include <cstdint>

#include "link/Session.h"

namespace kestrel {

// True when the reply in ReplyRecord answers the head of the queue: its code is the head's
// opcode, and what it repeats of its request (a memory block's address and count, a bit's or
// an information line's index), as far as it holds it, is the head's. A command sent again at
// a poll that crossed it on the line can be carried out twice; its second reply must not pass
// for the answer to the next block or name of the same kind.
bool ReplyAnswersHead(const Session&);

// Acts on the reply in ReplyRecord (ReplyLength bytes), which answers the head of the queue.
void HandleReply(Session&);

// Rebuilds the command list with the caption of every chip command whose bit is set in `mask`,
// in ascending order, and records each row's opcode in RowCommands.
void FillCommandList(Session&, std::uint32_t mask);

}  // namespace kestrel
