#pragma once
// The write rules of the bit dialogs, over the checked states of their boxes (index = bit number).

#include <vector>

#include "operations/Session.h"

namespace kestrel {

// Lock dialog: one WriteLockBit per checked box, in ascending order; unchecked boxes send nothing.
void WriteLockBits(Session& session, const std::vector<bool>& checked);

// Fuse dialog: WriteFuseBit(i, checked) for every box, in ascending order.
void WriteFuseBits(Session& session, const std::vector<bool>& checked);

}  // namespace kestrel
