#pragma once
// The lock and fuse bit editors: one check box per bit of the selected chip, made at run time in
// a column, the "Записать" button that writes the boxes and hides the dialog, and Enter on the
// dialog or a box, which hides it without writing. The two editors, the lock-bit editor TForm4
// (Form4) and the fuse-bit editor TForm6 (Form6), are this one class in two designs.

#include <QDialog>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <functional>
#include <vector>

#include "operations/OperationsView.h"

class QCheckBox;
class QPushButton;

namespace kestrel {

// What sets one editor apart: its name, caption, client size and colour, the button's place and
// whether it is enabled before the first opening.
struct BitDialogDesign {
  const char* objectName;
  const char* caption;
  QSize client;
  QRgb colour;
  QRect button;
  bool buttonEnabled;
};

// TForm4, the lock bits, and TForm6, the fuse bits.
extern const BitDialogDesign LockBitEditor;
extern const BitDialogDesign FuseBitEditor;

class TBitDialog : public QDialog, public BitDialogView {
  Q_OBJECT

 public:
  explicit TBitDialog(const BitDialogDesign& design, QWidget* parent = nullptr);

  // What the button does with the boxes' checked states (bit i at index i): the program writes
  // the lock bits that are checked, or every fuse bit with its state.
  std::function<void(const std::vector<bool>& checked)> OnWrite;

  void CreateBitBoxes(int count) override;
  void ClearBitBoxes() override;
  void SetBitName(int index, const std::string& name) override;
  void ShowBitStates(std::span<const std::uint8_t> states) override;
  void Open(bool writable) override;

  int BitCount() const { return static_cast<int>(BitBoxes.size()); }
  std::vector<bool> CheckedStates() const;

  // Hands the boxes to OnWrite, then hides the dialog; the boxes stay.
  void Button1Click();
  // Enter hides the dialog without writing.
  void FormKeyUp(int key);

  QPushButton* Button1 = nullptr;  // "Записать"
  std::vector<QCheckBox*> BitBoxes;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // Acts on a released Enter only when it went down in this dialog, so the Enter that opened
  // the dialog from the command list neither writes nor closes it.
  bool TakeEnterRelease(QKeyEvent* event);

  bool enterPressed_ = false;
};

}  // namespace kestrel
