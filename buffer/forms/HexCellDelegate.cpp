#include "buffer/forms/HexCellDelegate.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "buffer/Grid.h"

namespace kestrel {

bool IsEnterKey(const QKeyEvent& key) { return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter; }

bool DiscardedByKeyFilter(const QKeyEvent& key) {
  const QString text = key.text();
  if (text.isEmpty() || IsEnterKey(key) || !text.at(0).isPrint()) return false;
  for (QChar c : text)
    if (!PassesKeyFilter(c.unicode())) return true;
  return false;
}

HexCellDelegate::HexCellDelegate(CommitFn commit, QObject* parent)
    : QStyledItemDelegate(parent), commit_(std::move(commit)) {}

QWidget* HexCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                       const QModelIndex&) const {
  auto* editor = new QLineEdit(parent);
  editor->setFrame(false);
  editor->setInputMask(QString::fromLatin1(CellEditMask));
  return editor;
}

bool HexCellDelegate::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (IsEnterKey(key)) {
      commit_(static_cast<QLineEdit*>(watched)->text());
      return true;
    }
    if (DiscardedByKeyFilter(key)) return true;
  }
  return QStyledItemDelegate::eventFilter(watched, event);
}

}  // namespace kestrel
