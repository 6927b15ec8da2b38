#pragma once
// The fuse-bit editor: one check box per bit of the selected chip, made at run time.

#include "operations/forms/TBitDialog.h"

namespace kestrel {

class TForm6 : public TBitDialog {
  Q_OBJECT

 public:
  explicit TForm6(QWidget* parent = nullptr);
  ~TForm6() override;
};

// The one fuse-bit editor of the program; set as soon as its construction begins.
extern TForm6* Form6;

}  // namespace kestrel
