#pragma once
// The main window's save-file dialog: the proposed name goes in, the chosen name comes out.
// Default options, no filter, no default extension; the program asks about overwriting itself.

#include <QString>

class QWidget;

namespace kestrel {

struct TSaveDialog {
  QString FileName;

  // Shows the dialog; true with FileName set to the chosen file, false when cancelled.
  bool Execute(QWidget* parent);
};

}  // namespace kestrel
