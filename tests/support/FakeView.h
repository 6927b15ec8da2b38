#pragma once
// A recording stand-in for the windows, and a log of the frames the core writes: the core can be
// driven frame by frame without a display or a port (tests/support/FakeLink.h has the fixtures).

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "buffer/MemoryImage.h"
#include "link/LinkLine.h"
#include "operations/OperationsView.h"

namespace kestrel {

using Bytes = std::vector<std::uint8_t>;

// A bit editor: its boxes as the user would see them. Out-of-range indices and surplus states
// are ignored, as the real dialogs do.
class FakeBitDialog : public BitDialogView {
 public:
  struct Box {
    std::string name;
    bool checked = false;
  };

  void CreateBitBoxes(int count) override;
  void ClearBitBoxes() override;
  void SetBitName(int index, const std::string& name) override;
  void ShowBitStates(std::span<const std::uint8_t> states) override;
  void Open(bool writable) override;

  std::vector<std::string> Names() const;
  std::vector<bool> States() const;

  std::vector<Box> boxes;
  bool open = false;
  bool writable = false;
  int rebuilds = 0;  // CreateBitBoxes calls
  int clears = 0;    // ClearBitBoxes calls
};

class FakeView : public OperationsView {
 public:
  void SetCaption(const std::string& text) override;
  void SetStatusText(const std::string& text) override;
  void RestartWatchdog() override;
  void ShowWarning(const std::string& text) override;
  Answer AskYesNo(const std::string& text) override;
  Answer AskYesNoCancel(const std::string& text) override;
  void SetQueueProgress(int maximum, int position) override;
  void ShowQueueWindow() override;
  void CloseQueueWindow() override;
  void ClearChipList() override;
  void AddChip(const std::string& name) override;
  void ClearCommandList() override;
  void AddCommandRow(const std::string& caption) override;
  void CreateInfoLabels(int count) override;
  void SetInfoLine(int index, const std::string& text) override;
  BitDialogView& LockDialog() override;
  BitDialogView& FuseDialog() override;
  void FormatGrid() override;
  void BytesChanged(std::size_t first, std::size_t count) override;

  // Main window.
  std::string caption;
  std::vector<std::string> statusHistory;  // every status text, the current one last
  std::string StatusText() const;
  int watchdogRestarts = 0;

  // Message boxes. `duringWarning` runs while a warning is open, as the modal box's event loop
  // would deliver received chunks or timer ticks. Questions take the next of `answers`, or
  // `defaultAnswer` when none is left.
  std::vector<std::string> warnings;
  std::function<void()> duringWarning;
  std::vector<std::string> questions;
  std::deque<Answer> answers;
  Answer defaultAnswer = Answer::Yes;

  // Queue window and its bar.
  bool queueWindowVisible = false;
  int queueWindowShows = 0;
  int queueMaximum = 0;
  int queuePosition = 0;

  // Chip list and command list.
  std::vector<std::string> chips;
  std::vector<std::string> commandRows;

  // About window: one entry per information line; a new line reads as the window's placeholder.
  std::vector<std::string> infoLines;

  FakeBitDialog lockDialog;
  FakeBitDialog fuseDialog;
  int formatGridCalls = 0;
  std::vector<std::pair<std::size_t, std::size_t>> bytesChanged;  // first and count of each call

 private:
  Answer NextAnswer(const std::string& question);
};

// A memory image shown on a FakeView.
struct FakeImage {
  FakeView view;
  MemoryImage image{view};
};

// The frames the core hands to WriteData, in order.
class FrameLog {
 public:
  WriteDataFn Writer();
  // A frame's payload, without marker, length and sums.
  static Bytes PayloadOf(const Bytes& frame);
  std::vector<Bytes> Payloads() const;
  // The payloads, and the log emptied.
  std::vector<Bytes> TakePayloads();
  // Each frame's first payload byte.
  Bytes Opcodes() const;

  std::vector<Bytes> frames;
};

// The placeholder of a new information line.
inline constexpr const char* NewInfoLineText = "Пока это неизвестная надпись!";

}  // namespace kestrel
