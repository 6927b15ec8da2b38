#pragma once
// The operations' view of one port's run: instead of windows it keeps the results the operations
// show (the bit states, the signature, a verify mismatch, a lost link) for the run to read, and
// turns the queue's progress into progress reports. What the device told about itself and the
// chip the run asks the session. Touched only on the port's thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "operations/OperationsView.h"

namespace kestrel::cli {

// A bit dialog without a window: the states the device reported for its boxes.
class BitList final : public BitDialogView {
 public:
  void CreateBitBoxes(int count) override;
  void ClearBitBoxes() override;
  void SetBitName(int, const std::string&) override {}
  void ShowBitStates(std::span<const std::uint8_t> states) override;
  void Open(bool) override {}

  // '0' and '1' for the bits the last state report covered, bit 0 first.
  const std::string& States() const { return states_; }
  void ForgetStates() { states_.clear(); }

 private:
  std::size_t boxes_ = 0;
  std::string states_;
};

class PortView final : public OperationsView {
 public:
  using Clock = std::chrono::steady_clock;

  // The queue's progress: `done` of the `total` commands queued since it was last empty have left it.
  std::function<void(int done, int total)> OnQueueProgress;

  // Set by every poll: when the watchdog runs out.
  Clock::time_point WatchdogDeadline() const { return watchdogDeadline_; }
  void RestartWatchdog() override;

  // Why the link is lost (the give-up, work dropped unconfirmed), or empty.
  const std::string& LinkLost() const { return linkLost_; }
  void LoseLink(std::string why) { linkLost_ = std::move(why); }

  BitList& Fuses() { return fuses_; }
  BitList& Locks() { return locks_; }
  const BitList& Fuses() const { return fuses_; }
  const BitList& Locks() const { return locks_; }

  const std::optional<Signature>& LastSignature() const { return signature_; }
  const std::optional<std::uint32_t>& MismatchAt() const { return mismatchAt_; }
  // Forgets the results of the action before.
  void StartAction();

  void SetCaption(const std::string&) override {}
  void ClearChipList() override {}
  void AddChip(const std::string&) override {}
  void ClearCommandList() override {}
  void AddCommandRow(const std::string&) override {}
  void CreateInfoLabels(int) override {}
  void SetInfoLine(int, const std::string&) override {}
  BitDialogView& LockDialog() override { return locks_; }
  BitDialogView& FuseDialog() override { return fuses_; }
  void ShowSignature(const Signature& signature) override { signature_ = signature; }
  void ShowVerifyMismatch(std::uint32_t address) override;
  void OperationAborted() override { LoseLink("the operation was aborted"); }
  void GaveUp() override;

  void SetQueueProgress(int maximum, int position) override;
  void ShowQueueWindow() override {}
  void CloseQueueWindow() override {}
  void FormatGrid() override {}
  void BytesChanged(std::size_t, std::size_t) override {}
  void SetStatusText(const std::string&) override {}
  // The run checks beforehand what would make the sequences warn or ask.
  void ShowWarning(const std::string&) override {}
  Answer AskYesNo(const std::string&) override { return Answer::No; }
  Answer AskYesNoCancel(const std::string&) override { return Answer::Cancel; }

 private:
  Clock::time_point watchdogDeadline_ = Clock::now();
  std::string linkLost_;
  BitList fuses_;
  BitList locks_;
  std::optional<Signature> signature_;
  std::optional<std::uint32_t> mismatchAt_;
};

}  // namespace kestrel::cli
