#pragma once
// The read, write and verify sequences the command list queues for the program memory and
// the EEPROM. Each starts after the SelectChip of the click.

#include <cstdint>

#include "operations/BlockTransfer.h"
#include "operations/Session.h"
#include "operations/StatusTexts.h"
#include "operations/WriteOptions.h"

namespace kestrel {

// One chip memory as the sequences see it: its size, its block commands (writes and verifies
// carry the image's bytes), the commands that erase and verify it with their codes in the
// command mask, and its write options.
struct ChipMemory {
  std::uint32_t ChipProperties::*size;
  BlockCommand read;
  BlockCommand write;
  BlockCommand verify;
  void (*erase)(CommandQueue&);
  std::uint8_t eraseCode;
  std::uint8_t verifyCode;
  MemoryWriteOptions WriteOptions::*options;
};

extern const ChipMemory ProgramMemory;
extern const ChipMemory Eeprom;

// Sizes the buffer to the chip memory and reads it whole. The buffer then counts as unsaved, so
// that choosing a file or closing the window asks before the read is lost.
void ReadSequence(Session& session, const ChipMemory& memory);

// Writes the buffer, clipped to the chip memory, with the memory's options: reload the working
// file first, erase first, verify after. A reload that cannot load the file warns and queues
// nothing; a malformed HEX file ends the click with EAbort. Either way the buffer keeps what it
// held.
void WriteSequence(Session& session, const ChipMemory& memory, const WriteOptions& options);

// Compares the buffer, clipped to the chip memory, with the chip.
void VerifySequence(Session& session, const ChipMemory& memory);

}  // namespace kestrel
