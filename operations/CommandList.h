#pragma once
// The command list ListBox2: the operations the selected chip offers, one row per command code.

#include <cstdint>

#include "link/Session.h"

namespace kestrel {

// True when `code` stands in one of the list's rows.
bool IsCommandOffered(const Session& session, std::uint8_t code);

// The user chose a row (mouse-up, or Enter going down, repeats included): queues SelectChip for
// the selected chip, then the sequence of the row's command. With no row selected, or a code
// without a sequence, only SelectChip is queued.
void ListBox2Click(Session& session);

}  // namespace kestrel
