#pragma once
// The in-place editor of a byte cell: at most two letters or digits (the "aa;0" edit mask), only
// hexadecimal digits can be typed, and Enter hands the typed text to the grid to commit.

#include <QStyledItemDelegate>
#include <functional>

namespace kestrel {

class HexCellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using CommitFn = std::function<void(const QString& text)>;
  HexCellDelegate(CommitFn commit, QObject* parent);

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CommitFn commit_;
};

// The edit mask of every byte cell, in the editor's notation: two optional letters or digits.
inline constexpr char CellEditMask[] = "nn";

// The key filter of the grid and its editor: true for a key press that must be discarded, a
// character other than a hexadecimal digit. Keys without text (arrows, Backspace, Delete, F2)
// keep their editing use.
bool DiscardedByKeyFilter(const QKeyEvent& key);
bool IsEnterKey(const QKeyEvent& key);

}  // namespace kestrel
