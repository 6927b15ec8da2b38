#include "app/MessageBoxes.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <optional>

#include "buffer/forms/LocaleFileColumns.h"

namespace kestrel {
namespace {

struct ResponderState {
  ModalResponder responder;
  std::vector<ModalRequest> asked;
};

ResponderState& State() {
  static ResponderState state;
  return state;
}

// Hands the request to the test responder when one is installed.
std::optional<std::pair<Answer, QString>> Respond(ModalRequest::Kind kind, const QString& text) {
  ResponderState& state = State();
  if (!state.responder) return std::nullopt;
  state.asked.push_back({kind, text});
  return state.responder(state.asked.back());
}

QWidget* BoxParent() { return QApplication::activeWindow(); }

Answer ToAnswer(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

}  // namespace

QString ApplicationTitle() { return QStringLiteral("Kestrel"); }

void ShowWarningBox(const QString& text) {
  if (Respond(ModalRequest::Warning, text)) return;
  QMessageBox::warning(BoxParent(), QString::fromUtf8("Предупреждение"), text);
}

void ShowErrorBox(const QString& text) {
  if (Respond(ModalRequest::Error, text)) return;
  QMessageBox::critical(BoxParent(), ApplicationTitle(), text);
}

Answer AskYesNo(const QString& text) {
  if (auto reply = Respond(ModalRequest::YesNo, text)) return reply->first;
  return ToAnswer(QMessageBox::question(BoxParent(), QString::fromUtf8("Подтверждение"), text,
                                        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes));
}

Answer AskYesNoCancel(const QString& text) {
  if (auto reply = Respond(ModalRequest::YesNoCancel, text)) return reply->first;
  return ToAnswer(QMessageBox::question(BoxParent(), QString::fromUtf8("Подтверждение"), text,
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                        QMessageBox::Yes));
}

QString WithFullStop(const QString& message) {
  if (message.isEmpty() || !message.back().isLetterOrNumber()) return message;
  return message + QLatin1Char('.');
}

void ShowExceptionBox(const QString& message) { ShowErrorBox(WithFullStop(message)); }

QString AskSaveFileName(QWidget* parent, const QString& proposed) {
  if (auto reply = Respond(ModalRequest::SaveFile, proposed)) return reply->second;
  // The toolkit's own dialog speaks the program's language whatever the desktop's, and shows sizes
  // and dates as the file list does. The program asks about overwriting itself, so the dialog must not.
  QFileDialog dialog(parent, QString(), proposed);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::DontUseNativeDialog);
  dialog.setProxyModel(new LocaleFileColumns(&dialog));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

void SetModalResponder(ModalResponder responder) {
  State().responder = std::move(responder);
  State().asked.clear();
}

const std::vector<ModalRequest>& ModalRequests() { return State().asked; }

}  // namespace kestrel
