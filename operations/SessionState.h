#pragma once
// Inside the session: the link, the image and what the device told, as the replies and the
// sequences change them. Only operations/ includes this; everyone else uses Session.

#include "buffer/MemoryImage.h"
#include "link/CommandQueue.h"
#include "link/LinkLine.h"
#include "link/Reception.h"
#include "operations/OperationsView.h"
#include "operations/Session.h"

namespace kestrel {

struct SessionState final : ReplySink {
  SessionState(OperationsView& view, LinkLine line) : view(view), line(std::move(line)) {}
  SessionState(const SessionState&) = delete;
  SessionState& operator=(const SessionState&) = delete;

  // The reply handler (ReplyHandler.cpp).
  void HandleReply(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request) override;

  OperationsView& view;
  LinkLine line;
  CommandQueue queue{view, line};
  Reception reception{queue, view, *this, line};
  MemoryImage image{view};
  ProgrammerInfo programmer;
  ChipProperties chip;
};

}  // namespace kestrel
