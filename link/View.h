#pragma once
// What the protocol and data core does to the screen. The windows implement it; tests fake it.
// Texts are UTF-8 (device texts are decoded from code page 1251 before they get here).

#include <cstdint>
#include <span>
#include <string>

#include "buffer/ImageView.h"

namespace kestrel {

// The lock-bit editor TForm4 and the fuse-bit editor TForm6 as the core sees them.
class BitDialogView {
 public:
  virtual ~BitDialogView() = default;
  virtual void CreateBitBoxes(int count) = 0;
  virtual void ClearBitBoxes() = 0;
  // Indices at or past the number of boxes are ignored.
  virtual void SetBitName(int index, const std::string& name) = 0;
  // Box i shows states[i] != 0; states past the number of boxes are ignored.
  virtual void ShowBitStates(std::span<const std::uint8_t> states) = 0;
  // Shows the dialog modelessly; `writable` enables its "Записать" button.
  virtual void Open(bool writable) = 0;
};

class View : public ImageView {
 public:
  // Main window: caption (connection state), link watchdog Timer2.
  virtual void SetCaption(const std::string& text) = 0;
  virtual void RestartWatchdog() = 0;

  // Queue window TForm5 and its ProgressBar1.
  virtual void SetQueueProgress(int maximum, int position) = 0;
  virtual void ShowQueueWindow() = 0;  // non-modal, brought to the front
  virtual void CloseQueueWindow() = 0;

  // Chip list ListBox1 and command list ListBox2.
  virtual void ClearChipList() = 0;
  virtual void AddChip(const std::string& name) = 0;
  virtual void ClearCommandList() = 0;
  virtual void AddCommandRow(const std::string& caption) = 0;

  // About window TForm7.
  virtual void CreateInfoLabels(int count) = 0;
  // Indices at or past the number of lines are ignored.
  virtual void SetInfoLine(int index, const std::string& text) = 0;

  // Lock-bit editor TForm4 and fuse-bit editor TForm6.
  virtual BitDialogView& LockDialog() = 0;
  virtual BitDialogView& FuseDialog() = 0;
};

}  // namespace kestrel
