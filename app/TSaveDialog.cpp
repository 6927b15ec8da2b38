#include "app/TSaveDialog.h"

#include "app/MessageBoxes.h"

namespace kestrel {

bool TSaveDialog::Execute(QWidget* parent) {
  const QString chosen = AskSaveFileName(parent, FileName);
  if (chosen.isEmpty()) return false;
  FileName = chosen;
  return true;
}

}  // namespace kestrel
