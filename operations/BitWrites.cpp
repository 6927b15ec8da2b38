#include "operations/BitWrites.h"

#include "link/Commands.h"

namespace kestrel {

void WriteLockBits(Session& session, const std::vector<bool>& checked) {
  for (std::size_t i = 0; i < checked.size(); ++i) {
    if (checked[i]) WriteLockBit(session.queue, static_cast<int>(i));
  }
}

void WriteFuseBits(Session& session, const std::vector<bool>& checked) {
  for (std::size_t i = 0; i < checked.size(); ++i)
    WriteFuseBit(session.queue, static_cast<int>(i), checked[i]);
}

}  // namespace kestrel
