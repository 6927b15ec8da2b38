#pragma once
// The operations' view over the program's windows: the main window Form1, the bit editors Form4 and
// Form6, the queue window Form5, the about window Form7, and the message boxes. The windows exist for the
// whole run; a call for one that is gone does nothing.

#include "operations/OperationsView.h"

namespace kestrel {

class MainView : public OperationsView {
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
};

}  // namespace kestrel
