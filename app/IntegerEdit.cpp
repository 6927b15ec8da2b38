#include "app/IntegerEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>

namespace kestrel {
namespace {

bool IsAcceptedCharacter(QChar c) {
  return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') || c == QLatin1Char('-');
}

}  // namespace

IntegerEdit::IntegerEdit(QWidget* parent) : QLineEdit(parent) {
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setAcceptDrops(false);
  // Composed input would bypass the key filter.
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setText(Format(value_, digits_));
  connect(this, &QLineEdit::textChanged, this, &IntegerEdit::TextChanged);
}

QString IntegerEdit::Format(std::int32_t value, int digits) {
  return QString::number(value).rightJustified(digits, QLatin1Char('0'));
}

std::optional<std::int32_t> IntegerEdit::Parse(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok, 10);
  if (!ok) return std::nullopt;
  return value;
}

void IntegerEdit::SetValue(std::int32_t value) {
  value_ = value;
  setText(Format(value_, digits_));
}

void IntegerEdit::SetDigits(int digits) {
  digits_ = digits;
  setText(Format(value_, digits_));
}

void IntegerEdit::TextChanged(const QString& text) {
  const std::int32_t value = Parse(text).value_or(0);
  if (value == value_) return;
  value_ = value;
  setText(Format(value_, digits_));
}

void IntegerEdit::PasteFromClipboard() {
  if (isReadOnly()) return;
  SetValue(Parse(QApplication::clipboard()->text()).value_or(0));
}

void IntegerEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    PasteFromClipboard();
    return;
  }
  const QString typed = event->text();
  const bool controlKey =
      std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
  if (!controlKey && !std::all_of(typed.begin(), typed.end(), IsAcceptedCharacter)) {
    QApplication::beep();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void IntegerEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  // The menu's own paste would insert the text unconverted.
  if (QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
    paste->disconnect();
    connect(paste, &QAction::triggered, this, &IntegerEdit::PasteFromClipboard);
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

}  // namespace kestrel
