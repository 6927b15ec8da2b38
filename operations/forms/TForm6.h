#pragma once
// The fuse-bit editor: one check box per bit of the selected chip, made at run time.

#include <QDialog>

class QPushButton;

namespace kestrel {

class TForm6 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm6(QWidget* parent = nullptr);
  ~TForm6() override;

  QPushButton* Button1;  // "Записать"
};

// The one fuse-bit editor of the program; set as soon as its construction begins.
extern TForm6* Form6;

}  // namespace kestrel
