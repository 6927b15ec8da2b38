#include "operations/Session.h"

#include "operations/ReplyHandler.h"

namespace kestrel {

void Session::HandleReply(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request) {
  kestrel::HandleReply(*this, reply, request);
}

}  // namespace kestrel
