#include "operations/forms/TForm6.h"

#include <QPushButton>

#include "operations/BitWrites.h"
#include "widgets/FormDesign.h"

namespace kestrel {

TForm6* Form6 = nullptr;

TForm6::TForm6(QWidget* parent) : TBitDialog(WriteFuseBits, parent) {
  Form6 = this;
  setObjectName(QStringLiteral("Form6"));
  DeclareFixedDialog(this, QString::fromUtf8("Fuse биты"), QSize(336, 43), QColor(0xDC, 0xC0, 0xC0));
  Button1 = Place<QPushButton>(this, "Button1", QRect(136, 16, 75, 25));
  Button1->setText(QString::fromUtf8("Записать"));
  // The button acts on mouse-up and Enter only; it is never the dialog's default button.
  Button1->setAutoDefault(false);
  WireButton1();
  Button1->setEnabled(false);
}

TForm6::~TForm6() {
  if (Form6 == this) Form6 = nullptr;
}

}  // namespace kestrel
