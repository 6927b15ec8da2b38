#pragma once
// What the lock and fuse bit editors share: one check box per bit of the selected chip, made at
// run time in a column, the "Записать" button that writes the boxes and hides the dialog, and
// Enter on the dialog or a box, which hides it without writing.

#include <QDialog>
#include <vector>

#include "link/Session.h"
#include "link/View.h"

class QCheckBox;
class QPushButton;

namespace kestrel {

class TBitDialog : public QDialog, public BitDialogView {
  Q_OBJECT

 public:
  // The rule that turns the boxes' checked states into queued commands.
  using WriteRule = void (*)(Session&, const std::vector<bool>& checked);

  TBitDialog(WriteRule writeRule, QWidget* parent);

  // The session whose queue the button writes to.
  void Attach(Session& session);

  void CreateBitBoxes(int count) override;
  void ClearBitBoxes() override;
  void SetBitName(int index, const std::string& name) override;
  void ShowBitStates(std::span<const std::uint8_t> states) override;
  void Open(bool writable) override;

  int BitCount() const { return static_cast<int>(BitBoxes.size()); }
  std::vector<bool> CheckedStates() const;

  // Writes every box by the dialog's rule, then hides the dialog; the boxes stay.
  void Button1Click();
  // Enter hides the dialog without writing.
  void FormKeyUp(int key);

  QPushButton* Button1 = nullptr;  // "Записать"
  std::vector<QCheckBox*> BitBoxes;

 protected:
  // Called by the dialog's design once Button1 exists: it acts on mouse-up and Enter only.
  void WireButton1();

  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // Acts on a released Enter only when it went down in this dialog, so the Enter that opened
  // the dialog from the command list neither writes nor closes it.
  bool TakeEnterRelease(QKeyEvent* event);

  WriteRule writeRule_;
  Session* session_ = nullptr;
  bool enterPressed_ = false;
};

}  // namespace kestrel
