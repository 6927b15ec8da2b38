#pragma once
// What the link reports to its owner: the device's polls, the queue's progress, work dropped
// unconfirmed, the give-up, and every accepted reply. What each of them does to the lists, the
// dialogs and the screen is decided above the link.

#include <cstdint>
#include <span>

namespace kestrel {

class LinkView {
 public:
  virtual ~LinkView() = default;

  // A poll came: the device is there, so the owner's watchdog timer (Timer2) starts anew.
  virtual void RestartWatchdog() = 0;

  // The queue window TForm5: `position` of `maximum` commands still wait.
  virtual void SetQueueProgress(int maximum, int position) = 0;
  virtual void ShowQueueWindow() = 0;  // non-modal, brought to the front
  virtual void CloseQueueWindow() = 0;

  // Chip commands left the queue unconfirmed: the operation they belonged to did not end.
  virtual void OperationAborted() = 0;
  // The head went out MaxSendAttempts times without an accepted reply; the queue was cleared.
  virtual void GaveUp() = 0;
};

// The link's owner, which knows what the replies mean.
class ReplySink {
 public:
  virtual ~ReplySink() = default;

  // `reply` (its code first, at least one byte) answers `request`, the payload of the head of the
  // queue; the head leaves the queue when this returns.
  virtual void HandleReply(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request) = 0;
};

}  // namespace kestrel
