#include "cli/PortView.h"

#include <algorithm>

#include "link/CommandQueue.h"
#include "link/Watchdog.h"

namespace kestrel::cli {

void BitList::CreateBitBoxes(int count) {
  boxes_ = static_cast<std::size_t>(std::max(count, 0));
  states_.clear();
}

void BitList::ClearBitBoxes() {
  boxes_ = 0;
  states_.clear();
}

void BitList::ShowBitStates(std::span<const std::uint8_t> states) {
  states_.clear();
  for (std::size_t i = 0; i < std::min(states.size(), boxes_); ++i) states_ += states[i] ? '1' : '0';
}

void PortView::RestartWatchdog() {
  watchdogDeadline_ = Clock::now() + std::chrono::milliseconds(WatchdogIntervalMs);
}

void PortView::StartAction() {
  signature_.reset();
  mismatchAt_.reset();
  fuses_.ForgetStates();
  locks_.ForgetStates();
}

// Only the first mismatch counts: the queue is cleared behind it.
void PortView::ShowVerifyMismatch(std::uint32_t address) {
  if (!mismatchAt_) mismatchAt_ = address;
}

void PortView::GaveUp() {
  LoseLink("the programmer did not answer a command sent " + std::to_string(MaxSendAttempts) + " times");
}

void PortView::SetQueueProgress(int maximum, int position) {
  if (OnQueueProgress && maximum > 0) OnQueueProgress(maximum - position, maximum);
}

}  // namespace kestrel::cli
