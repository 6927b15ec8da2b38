#include "operations/BlockTransfer.h"

#include <algorithm>

namespace kestrel {

void QueueBlocks(Session& session, BlockCommand command, std::uint32_t length) {
  for (std::uint32_t address = 0; address < length;) {
    const std::uint32_t count = std::min(length - address, MaxBlockSize);
    command(session, address, static_cast<std::uint8_t>(count));
    address += count;
  }
}

}  // namespace kestrel
