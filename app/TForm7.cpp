#include "app/TForm7.h"

#include <QLabel>
#include <QPushButton>

#include "app/TUrl.h"
#include "widgets/FormDesign.h"

namespace kestrel {

TForm7* Form7 = nullptr;

TForm7::TForm7(QWidget* parent) : QDialog(parent) {
  Form7 = this;
  setObjectName(QStringLiteral("Form7"));
  DeclareFixedDialog(this, QString::fromUtf8("О программаторе"), QSize(415, 250), QColor(0xFF, 0xFB, 0xF0));
  Button1 = Place<QPushButton>(this, "Button1", QRect(208, 216, 75, 25));
  Button1->setText(QStringLiteral("Ok"));
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  Url1 = new TUrl(this);
  Url1->setObjectName(QStringLiteral("Url1"));
  Url1->setGeometry(128, 224, 47, 17);
  Url1->setText(QString::fromUtf8("Помощь"));
  Url1->SetURL(QStringLiteral("help/ruka.htm"));
  Url1->SetFontColor(QColor(0x00, 0x00, 0xFF));
  Url1->SetFontStyle(fsUnderline);
  FormCreate();
}

TForm7::~TForm7() {
  if (Form7 == this) Form7 = nullptr;
}

void TForm7::FormCreate() { InfoLabelCount = 0; }

void TForm7::CreateInfoLabels(int count) {
  for (QLabel*& label : InfoLabels) {
    delete label;
    label = nullptr;
  }
  count = std::max(count, 0);
  InfoLabelCount = count;
  InfoLabels.assign(count, nullptr);
  for (int i = 0; i < count; ++i) {
    auto* label = new QLabel(QString::fromUtf8(UnknownLine), this);
    label->move(30, 30 * i + 40);
    label->adjustSize();
    label->show();
    InfoLabels[i] = label;
  }
  if (count == 0) return;
  Button1->move(Button1->x(), 30 * count + 60);
  Url1->move(Url1->x(), Button1->y());
  SetOuterHeight(this, Button1->geometry().bottom() + 1 + 45);
}

void TForm7::SetInfoLine(int index, const QString& text) {
  if (index < 0 || index >= static_cast<int>(InfoLabels.size()) || !InfoLabels[index]) return;
  InfoLabels[index]->setText(text);
  InfoLabels[index]->adjustSize();
}

}  // namespace kestrel
