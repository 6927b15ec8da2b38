#include "tests/support/FakeView.h"

#include <algorithm>

#include "link/Frame.h"

namespace kestrel {

namespace {

bool InRange(int index, std::size_t size) { return index >= 0 && static_cast<std::size_t>(index) < size; }

}  // namespace

void FakeBitDialog::CreateBitBoxes(int count) {
  ++rebuilds;
  boxes.assign(count > 0 ? count : 0, Box{});
}

void FakeBitDialog::ClearBitBoxes() {
  ++clears;
  boxes.clear();
}

void FakeBitDialog::SetBitName(int index, const std::string& name) {
  if (InRange(index, boxes.size())) boxes[index].name = name;
}

void FakeBitDialog::ShowBitStates(std::span<const std::uint8_t> states) {
  for (std::size_t i = 0; i < states.size() && i < boxes.size(); ++i) boxes[i].checked = states[i] != 0;
}

void FakeBitDialog::Open(bool canWrite) {
  open = true;
  writable = canWrite;
}

std::vector<std::string> FakeBitDialog::Names() const {
  std::vector<std::string> names;
  for (const Box& box : boxes) names.push_back(box.name);
  return names;
}

std::vector<bool> FakeBitDialog::States() const {
  std::vector<bool> states;
  for (const Box& box : boxes) states.push_back(box.checked);
  return states;
}

void FakeView::SetCaption(const std::string& text) { caption = text; }
void FakeView::SetStatusText(const std::string& text) { statusHistory.push_back(text); }
std::string FakeView::StatusText() const {
  return statusHistory.empty() ? std::string() : statusHistory.back();
}
void FakeView::RestartWatchdog() { ++watchdogRestarts; }

void FakeView::ShowWarning(const std::string& text) {
  warnings.push_back(text);
  if (duringWarning) duringWarning();
}

Answer FakeView::NextAnswer(const std::string& question) {
  questions.push_back(question);
  if (answers.empty()) return defaultAnswer;
  const Answer answer = answers.front();
  answers.pop_front();
  return answer;
}

Answer FakeView::AskYesNo(const std::string& text) { return NextAnswer(text); }
Answer FakeView::AskYesNoCancel(const std::string& text) { return NextAnswer(text); }

void FakeView::SetQueueProgress(int maximum, int position) {
  queueMaximum = maximum;
  queuePosition = position;
}

void FakeView::ShowQueueWindow() {
  queueWindowVisible = true;
  ++queueWindowShows;
}

void FakeView::CloseQueueWindow() { queueWindowVisible = false; }

void FakeView::ClearChipList() { chips.clear(); }

void FakeView::AddChip(const std::string& name) { chips.push_back(name); }

void FakeView::ClearCommandList() { commandRows.clear(); }

void FakeView::AddCommandRow(const std::string& text) { commandRows.push_back(text); }

void FakeView::CreateInfoLabels(int count) {
  if (count > 0)
    infoLines.assign(count, NewInfoLineText);
  else
    infoLines.clear();
}

void FakeView::SetInfoLine(int index, const std::string& text) {
  if (InRange(index, infoLines.size())) infoLines[index] = text;
}

BitDialogView& FakeView::LockDialog() { return lockDialog; }
BitDialogView& FakeView::FuseDialog() { return fuseDialog; }
void FakeView::FormatGrid() { ++formatGridCalls; }
void FakeView::BytesChanged(std::size_t first, std::size_t count) { bytesChanged.emplace_back(first, count); }

WriteDataFn FrameLog::Writer() {
  return [this](const std::uint8_t* buffer, std::uint16_t length) {
    frames.emplace_back(buffer, buffer + length);
    return true;
  };
}

Bytes FrameLog::PayloadOf(const Bytes& frame) {
  if (frame.size() <= FrameOverhead) return {};
  return Bytes(frame.begin() + FrameHeaderSize, frame.end() - 1);
}

std::vector<Bytes> FrameLog::Payloads() const {
  std::vector<Bytes> payloads;
  for (const Bytes& frame : frames) payloads.push_back(PayloadOf(frame));
  return payloads;
}

std::vector<Bytes> FrameLog::TakePayloads() {
  std::vector<Bytes> payloads = Payloads();
  frames.clear();
  return payloads;
}

Bytes FrameLog::Opcodes() const {
  Bytes opcodes;
  for (const Bytes& frame : frames)
    opcodes.push_back(frame.size() > FrameOverhead ? frame[FrameHeaderSize] : 0);
  return opcodes;
}

}  // namespace kestrel
