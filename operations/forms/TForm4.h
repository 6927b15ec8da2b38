#pragma once
// The lock-bit editor: one check box per bit of the selected chip, made at run time.

#include <QDialog>

class QPushButton;

namespace kestrel {

class TForm4 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm4(QWidget* parent = nullptr);
  ~TForm4() override;

  QPushButton* Button1;  // "Записать"
};

// The one lock-bit editor of the program; set as soon as its construction begins.
extern TForm4* Form4;

}  // namespace kestrel
