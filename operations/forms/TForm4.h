#pragma once
// The lock-bit editor: one check box per bit of the selected chip, made at run time.

#include "operations/forms/TBitDialog.h"

namespace kestrel {

class TForm4 : public TBitDialog {
  Q_OBJECT

 public:
  explicit TForm4(QWidget* parent = nullptr);
  ~TForm4() override;
};

// The one lock-bit editor of the program; set as soon as its construction begins.
extern TForm4* Form4;

}  // namespace kestrel
