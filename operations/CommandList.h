#pragma once
// The command list ListBox2: the operations the selected chip offers, one row per command code.

#include <cstdint>
#include <span>

#include "operations/Session.h"
#include "operations/WriteOptions.h"

namespace kestrel {

// The opcodes of the list's rows, in order.
std::span<const std::uint8_t> ListedCommands(const Session& session);
// The row whose command is `code`; -1 when no row offers it.
int CommandRow(const Session& session, std::uint8_t code);
// True when `code` stands in one of the list's rows.
bool IsCommandOffered(const Session& session, std::uint8_t code);

// The user chose row `commandRow` of the list (mouse-up, or Enter going down, repeats included)
// while row `chipRow` of the chip list was selected (-1 for none): queues SelectChip for that
// chip, then the sequence of the row's command with the write options as they are now. With no
// row chosen, or a code without a sequence, only SelectChip is queued.
void ListBox2Click(Session& session, int chipRow, int commandRow, const WriteOptions& options);

}  // namespace kestrel
