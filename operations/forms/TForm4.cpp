#include "operations/forms/TForm4.h"

#include <QPushButton>

#include "operations/BitWrites.h"
#include "widgets/FormDesign.h"

namespace kestrel {

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : TBitDialog(WriteLockBits, parent) {
  Form4 = this;
  setObjectName(QStringLiteral("Form4"));
  DeclareFixedDialog(this, QString::fromUtf8("Lock биты"), QSize(192, 43), QColor(0xD2, 0xC0, 0xC0));
  Button1 = Place<QPushButton>(this, "Button1", QRect(56, 16, 75, 25));
  Button1->setText(QString::fromUtf8("Записать"));
  // The button acts on mouse-up and Enter only; it is never the dialog's default button.
  Button1->setAutoDefault(false);
  WireButton1();
  Button1->setEnabled(true);
}

TForm4::~TForm4() {
  if (Form4 == this) Form4 = nullptr;
}

}  // namespace kestrel
