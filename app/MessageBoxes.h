#pragma once
// Every modal message box and the save-file dialog of the program go through these calls, so
// that tests can answer them without a box appearing.

#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include "buffer/ImageView.h"

class QWidget;

namespace kestrel {

void ShowWarningBox(const QString& text);    // warning icon, OK
void ShowErrorBox(const QString& text);      // error icon, OK, captioned with the app title
Answer AskYesNo(const QString& text);        // question icon, Yes/No
Answer AskYesNoCancel(const QString& text);  // question icon, Yes/No/Cancel (closing = Cancel)
QString AskSaveFileName(QWidget* parent, const QString& proposed);  // SaveDialog1; empty = cancelled

// The standard error box for an exception's text: a text that ends in a letter or digit gets a
// full stop; one that ends in punctuation ("!", "'") is shown as it is.
void ShowExceptionBox(const QString& message);
QString WithFullStop(const QString& message);

// Tests: while a responder is installed, no box is shown; it receives the kind and text and
// answers (for AskSaveFileName it returns the path to use, or empty for cancel).
struct ModalRequest {
  enum Kind { Warning, Error, YesNo, YesNoCancel, SaveFile } kind;
  QString text;  // for SaveFile: the proposed name
};
using ModalResponder = std::function<std::pair<Answer, QString>(const ModalRequest&)>;

// Installing or removing a responder also clears the record of what was asked.
void SetModalResponder(ModalResponder responder);
// What was asked while a responder was installed, oldest first.
const std::vector<ModalRequest>& ModalRequests();

// The program's title, which captions error boxes. (It is not the toolkit's display name: that
// would be appended to every window caption.)
QString ApplicationTitle();

}  // namespace kestrel
