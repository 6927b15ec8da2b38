#pragma once
// What the operations do to the screen: the caption, the chip and command lists, the
// information lines and the bit dialogs; through the link's and the image's views also the
// queue window, the status panel, the message boxes and the grid. The windows implement it;
// tests fake it. Texts are UTF-8 (device texts are decoded from code page 1251 before they get
// here).

#include <cstdint>
#include <span>
#include <string>

#include "buffer/ImageView.h"
#include "link/LinkView.h"
#include "operations/StatusTexts.h"

namespace kestrel {

// The lock-bit editor Form4 and the fuse-bit editor Form6 as the operations see them.
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

class OperationsView : public LinkView, public ImageView {
 public:
  // The main window's caption: the connection state.
  virtual void SetCaption(const std::string& text) = 0;

  // Chip list ListBox1 and command list ListBox2.
  virtual void ClearChipList() = 0;
  virtual void AddChip(const std::string& name) = 0;
  virtual void ClearCommandList() = 0;
  virtual void AddCommandRow(const std::string& caption) = 0;

  // About window TForm7. Indices at or past the number of lines are ignored.
  virtual void CreateInfoLabels(int count) = 0;
  virtual void SetInfoLine(int index, const std::string& text) = 0;

  // Lock-bit editor Form4 and fuse-bit editor Form6.
  virtual BitDialogView& LockDialog() = 0;
  virtual BitDialogView& FuseDialog() = 0;

  // The results a program tells apart. Each is shown as the desktop program shows it, through
  // the status panel or a warning; a view without windows takes them as values instead.
  virtual void ShowSignature(const Signature& signature);
  // A verify block failed; the rest of the operation is dropped.
  virtual void ShowVerifyMismatch(std::uint32_t address);
  void OperationAborted() override;
  void GaveUp() override;
};

}  // namespace kestrel
