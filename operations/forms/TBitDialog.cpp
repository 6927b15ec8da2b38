#include "operations/forms/TBitDialog.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>

#include "widgets/FormDesign.h"

namespace kestrel {

namespace {

constexpr int BoxLeft = 20;
constexpr int BoxStep = 20;
constexpr int FirstBoxTop = 25;

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

const BitDialogDesign LockBitEditor{
    "Form4", "Lock биты", QSize(192, 43), qRgb(0xD2, 0xC0, 0xC0), QRect(56, 16, 75, 25), true};
const BitDialogDesign FuseBitEditor{
    "Form6", "Fuse биты", QSize(336, 43), qRgb(0xDC, 0xC0, 0xC0), QRect(136, 16, 75, 25), false};

TBitDialog::TBitDialog(const BitDialogDesign& design, QWidget* parent) : QDialog(parent) {
  setObjectName(QString::fromLatin1(design.objectName));
  DeclareFixedDialog(this, QString::fromUtf8(design.caption), design.client, QColor(design.colour));
  Button1 = Place<QPushButton>(this, "Button1", design.button);
  Button1->setText(QString::fromUtf8("Записать"));
  // The button acts on mouse-up and Enter only; it is never the dialog's default button.
  Button1->setAutoDefault(false);
  Button1->installEventFilter(this);
  Button1->setEnabled(design.buttonEnabled);
}

void TBitDialog::ClearBitBoxes() {
  for (QCheckBox*& box : BitBoxes) {
    delete box;
    box = nullptr;
  }
  BitBoxes.clear();
}

void TBitDialog::CreateBitBoxes(int count) {
  ClearBitBoxes();
  count = std::max(count, 0);
  BitBoxes.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    auto* box = new QCheckBox(this);
    box->setGeometry(BoxLeft, BoxStep * i + FirstBoxTop, width(),
                     std::min(box->sizeHint().height(), BoxStep));
    box->show();
    BitBoxes[static_cast<std::size_t>(i)] = box;
  }
  // The height asked for is the client's: Qt does not count the window manager's frame, and a
  // frame subtracted here could hide the button under a tall title bar.
  setFixedHeight(BoxStep * count + 100);
  Button1->move(Button1->x(), BoxStep * count + 40);
}

void TBitDialog::SetBitName(int index, const std::string& name) {
  if (index < 0 || index >= BitCount()) return;
  // The device's name is shown as sent: '&' must not turn into a mnemonic.
  BitBoxes[static_cast<std::size_t>(index)]->setText(
      QString::fromStdString(name).replace(QLatin1Char('&'), QLatin1String("&&")));
}

void TBitDialog::ShowBitStates(std::span<const std::uint8_t> states) {
  const std::size_t shown = std::min(states.size(), BitBoxes.size());
  for (std::size_t i = 0; i < shown; ++i) BitBoxes[i]->setChecked(states[i] != 0);
}

void TBitDialog::Open(bool writable) {
  Button1->setEnabled(writable);
  show();
  raise();
  activateWindow();
}

std::vector<bool> TBitDialog::CheckedStates() const {
  std::vector<bool> checked;
  checked.reserve(BitBoxes.size());
  for (const QCheckBox* box : BitBoxes) checked.push_back(box->isChecked());
  return checked;
}

void TBitDialog::Button1Click() {
  if (OnWrite) OnWrite(CheckedStates());
  hide();
}

void TBitDialog::FormKeyUp(int key) {
  if (IsEnter(key)) hide();
}

bool TBitDialog::TakeEnterRelease(QKeyEvent* event) {
  if (!IsEnter(event->key()) || !enterPressed_) return false;
  enterPressed_ = false;
  return true;
}

bool TBitDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Button1 || !Button1->isEnabled()) return QDialog::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonRelease:
      // Any mouse button; the button still gets the release to come back up.
      Button1Click();
      return false;
    case QEvent::KeyRelease:
      if (TakeEnterRelease(static_cast<QKeyEvent*>(event))) Button1Click();
      return IsEnter(static_cast<QKeyEvent*>(event)->key());
    default:
      return QDialog::eventFilter(watched, event);
  }
}

// Enter going down on the dialog, a box or the button arrives here: none of them takes it.
void TBitDialog::keyPressEvent(QKeyEvent* event) {
  if (IsEnter(event->key())) {
    enterPressed_ = true;
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TBitDialog::keyReleaseEvent(QKeyEvent* event) {
  if (TakeEnterRelease(event)) FormKeyUp(event->key());
  QDialog::keyReleaseEvent(event);
}

void TBitDialog::hideEvent(QHideEvent* event) {
  enterPressed_ = false;
  QDialog::hideEvent(event);
}

}  // namespace kestrel
