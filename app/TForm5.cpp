#include "app/TForm5.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "widgets/FormDesign.h"

namespace kestrel {

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
  Form5 = this;
  setObjectName(QStringLiteral("Form5"));
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
  // The queue window never takes the keyboard from the lists the user is working in.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setWindowTitle(QStringLiteral("Form5"));
  setFont(DesignFont());
  SetBackground(this, QColor(220, 220, 192));
  setFixedSize(359, 89);
  CentreOnScreenWhenShown(this);

  Label1 = Place<QLabel>(this, "Label1", QRect(136, 16, 0, 0));
  Label1->setText(QString::fromUtf8("Очередь команд"));
  Label1->adjustSize();
  ProgressBar1 = Place<QProgressBar>(this, "ProgressBar1", QRect(24, 40, 313, 16));
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
}

void TForm5::SetQueueProgress(int maximum, int position) {
  // The bar would repaint at once on every step, between a reply and the next send; with updates
  // held, one paint comes from the event loop once the next command is on its way.
  ProgressBar1->setUpdatesEnabled(false);
  // A range of 0..0 would make the bar a busy indicator.
  ProgressBar1->setRange(0, std::max(maximum, 1));
  ProgressBar1->setValue(std::clamp(position, 0, std::max(maximum, 1)));
  ProgressBar1->setUpdatesEnabled(true);
}

void TForm5::ShowQueueWindow() {
  show();
  raise();
}

void TForm5::CloseQueueWindow() { hide(); }

TForm5::~TForm5() {
  if (Form5 == this) Form5 = nullptr;
}

}  // namespace kestrel
