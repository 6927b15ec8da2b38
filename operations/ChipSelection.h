#pragma once
// Choosing a chip in the chip list ListBox1. The device tells everything about the chip: the
// replies to the requests queued here rebuild the command list and the bit editors and set
// the ChipProperties.

#include "operations/Session.h"

namespace kestrel {

// The user chose row `chipRow` (mouse-up, or Enter released). With no row selected (-1) the
// device is asked about chip 255.
void ListBox1Click(Session&, int chipRow);

}  // namespace kestrel
