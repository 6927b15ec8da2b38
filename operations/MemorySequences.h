#pragma once
// The read, write and verify sequences of the program memory and the EEPROM. Each starts after
// the SelectChip of its operation.

#include "operations/ChipMemory.h"
#include "operations/SessionState.h"

namespace kestrel {

// Sizes the buffer to the chip memory, or to its first `length` bytes, and reads them. The buffer
// then counts as unsaved, so that choosing a file or closing the window asks before the read is
// lost.
void ReadSequence(SessionState& s, const ChipMemory& memory, std::uint32_t length = UINT32_MAX);

// Writes the buffer, clipped to the chip memory, with the memory's options: reload the working
// file first, erase first, verify after. A reload that cannot load the file warns and queues
// nothing; a malformed HEX file ends the operation with EAbort. Either way the buffer keeps what
// it held. With no byte to write (an empty buffer, a memory of size 0) nothing is queued and the
// status panel says so.
void WriteSequence(SessionState& s, const ChipMemory& memory, const WriteOptions& options);

// Compares the buffer, clipped to the chip memory, with the chip; with nothing to compare the
// status panel says so and nothing is queued.
void VerifySequence(SessionState& s, const ChipMemory& memory);

}  // namespace kestrel
