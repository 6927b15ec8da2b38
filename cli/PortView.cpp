#include "cli/PortView.h"

#include <algorithm>

#include "link/CommandQueue.h"
#include "link/Watchdog.h"

namespace kestrel::cli {

void BitList::CreateBitBoxes(int count) {
  names_.assign(static_cast<std::size_t>(std::max(count, 0)), std::string());
  states_.clear();
}

void BitList::ClearBitBoxes() {
  names_.clear();
  states_.clear();
}

void BitList::SetBitName(int index, const std::string& name) {
  if (index >= 0 && static_cast<std::size_t>(index) < names_.size())
    names_[static_cast<std::size_t>(index)] = name;
}

void BitList::ShowBitStates(std::span<const std::uint8_t> states) {
  states_.clear();
  for (std::size_t i = 0; i < std::min(states.size(), names_.size()); ++i) states_ += states[i] ? '1' : '0';
}

void PortView::RestartWatchdog() {
  watchdogDeadline_ = Clock::now() + std::chrono::milliseconds(WatchdogIntervalMs);
}

// The caption is either the programmer's name or the text of a lost connection.
void PortView::SetCaption(const std::string& text) {
  introduced_ = text != NotConnectedCaption;
  caption_ = introduced_ ? text : std::string();
}

void PortView::StartAction() {
  signature_.reset();
  mismatchAt_.reset();
  fuses_.ForgetStates();
  locks_.ForgetStates();
}

void PortView::CreateInfoLabels(int count) {
  const auto size = static_cast<std::size_t>(std::max(count, 0));
  infoLines_.assign(size, std::string());
}

void PortView::SetInfoLine(int index, const std::string& text) {
  if (index >= 0 && static_cast<std::size_t>(index) < infoLines_.size())
    infoLines_[static_cast<std::size_t>(index)] = text;
}

// Only the first mismatch counts: the queue is cleared behind it.
void PortView::ShowVerifyMismatch(std::uint32_t address) {
  if (!mismatchAt_) mismatchAt_ = address;
}

void PortView::GaveUp() {
  LoseLink("the programmer did not answer a command sent " + std::to_string(MaxSendAttempts) + " times");
}

void PortView::SetQueueProgress(int maximum, int position) {
  if (OnQueueProgress && maximum > 0) OnQueueProgress(static_cast<double>(maximum - position) / maximum);
}

}  // namespace kestrel::cli
