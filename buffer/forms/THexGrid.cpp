#include "buffer/forms/THexGrid.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstdint>

#include "buffer/HexDigits.h"
#include "buffer/forms/GridHeader.h"
#include "buffer/forms/HexCellDelegate.h"
#include "buffer/forms/HexGridModel.h"
#include "widgets/FormDesign.h"

namespace kestrel {

namespace {

constexpr int GridTop = 15;
constexpr int GridLeft = 5;
constexpr int RowHeight = 15;
constexpr int LabelColumnWidth = 32;
constexpr int ScrollBarAllowance = 17;
constexpr int GridLineWidth = 1;

}  // namespace

THexGrid::THexGrid(MemoryImage& image, QWidget* parent)
    : QTableView(parent), image_(image), model_(new HexGridModel(image, this)) {
  setObjectName(QStringLiteral("StringGrid1"));
  setModel(model_);
  setItemDelegate(new HexCellDelegate([this](const QString& text) { CommitCurrentCell(text); }, this));
  setLayoutDirection(Qt::RightToLeft);
  setFont(DesignFont());
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                  QAbstractItemView::EditKeyPressed);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setCornerButtonEnabled(false);
  setTabKeyNavigation(false);

  // Section sizes hold the one-pixel grid line that the declared sizes leave out.
  setHorizontalHeader(new GridHeader(Qt::Horizontal, this));
  setVerticalHeader(new GridHeader(Qt::Vertical, this));
  verticalHeader()->setDefaultSectionSize(RowHeight + GridLineWidth);
  verticalHeader()->setFixedWidth(LabelColumnWidth + GridLineWidth);
  horizontalHeader()->setFixedHeight(RowHeight + GridLineWidth);
  // The corner cell is the view's own button.
  if (auto* corner = findChild<QAbstractButton*>()) {
    QPalette fixed = corner->palette();
    fixed.setColor(QPalette::Button, QColor(GridHeader::FixedCellColour));
    corner->setPalette(fixed);
  }
}

int THexGrid::RowCount() const { return model_->rowCount() + 1; }

void THexGrid::ApplyGeometry() {
  if (QWidget* box = parentWidget())
    setGeometry(GridLeft, GridTop, std::max(0, box->width() - 10), std::max(0, box->height() - 20));
  const int columnWidth = (width() - ScrollBarAllowance - LabelColumnWidth) / BytesPerRow - GridLineWidth;
  horizontalHeader()->setDefaultSectionSize(std::max(1, columnWidth + GridLineWidth));
}

void THexGrid::FormatGrid() {
  model_->FormatGrid();
  cache_.Invalidate();
  ApplyGeometry();
  RefreshGridCells();
}

THexGrid::RowsInView THexGrid::InView() const {
  const int top = std::max(0, rowAt(0));
  const int pitch = verticalHeader()->defaultSectionSize();
  return {top, std::min(model_->rowCount() - top, (viewport()->height() + pitch - 1) / pitch)};
}

void THexGrid::RefreshGridCells() {
  const RowsInView view = InView();
  if (cache_.Update(view.top, view.count)) model_->RefreshRows(view.top, view.count);
}

void THexGrid::BytesChanged(std::size_t first, std::size_t count) {
  if (count == 0) return;
  // A later refresh of the view is not skipped as one of an unchanged view.
  cache_.Invalidate();
  const RowsInView view = InView();
  const auto from = std::max<std::int64_t>(static_cast<std::int64_t>(first / BytesPerRow), view.top);
  const auto to = std::min<std::int64_t>(static_cast<std::int64_t>((first + count - 1) / BytesPerRow),
                                         std::int64_t{view.top} + view.count - 1);
  if (from <= to) model_->RefreshRows(static_cast<int>(from), static_cast<int>(to - from + 1));
}

void THexGrid::CommitCurrentCell(const QString& text) {
  const QModelIndex current = currentIndex();
  if (!current.isValid()) return;
  const GridCell next = CommitCell(image_, {current.row() + 1, current.column() + 1}, text.toStdString(),
                                   static_cast<std::uint64_t>(RowCount()));
  setCurrentIndex(model_->index(next.Row - 1, next.Column - 1));
}

void THexGrid::keyPressEvent(QKeyEvent* event) {
  if (IsEnterKey(*event)) {
    const QModelIndex current = currentIndex();
    if (current.isValid()) CommitCurrentCell(model_->CellText(current.row(), current.column()));
    return;
  }
  if (DiscardedByKeyFilter(*event)) return;
  QTableView::keyPressEvent(event);
}

void THexGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  cache_.InvalidateTop();
  RefreshGridCells();
}

const QStaticText& THexGrid::ByteText(std::uint8_t value) {
  if (!byteTextsPrepared_ || byteTextFont_ != font()) {
    for (int byte = 0; byte < 256; ++byte) {
      byteTexts_[byte].setText(QString::fromLatin1(ByteToHex(static_cast<std::uint8_t>(byte))));
      byteTexts_[byte].prepare(QTransform(), font());
    }
    byteTextFont_ = font();
    byteTextsPrepared_ = true;
  }
  return byteTexts_[value];
}

void THexGrid::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect dirty = event->rect();
  painter.fillRect(dirty, palette().brush(QPalette::Base));
  const int first = rowAt(dirty.top());
  if (first < 0) return;
  const int lastInView = rowAt(dirty.bottom());
  const int last = lastInView < 0 ? model_->rowCount() - 1 : lastInView;
  // The grid line closes each cell at its far side: the right one, or the left one when mirrored.
  const bool mirrored = isRightToLeft();
  const QModelIndex current = currentIndex();
  const QPalette& colours = palette();
  painter.setFont(font());

  for (int row = first; row <= last; ++row) {
    const int top = rowViewportPosition(row);
    const int height = rowHeight(row) - GridLineWidth;
    for (int column = 0; column < BytesPerRow; ++column) {
      const int left = columnViewportPosition(column) + (mirrored ? GridLineWidth : 0);
      const QRect cell(left, top, columnWidth(column) - GridLineWidth, height);
      const QModelIndex index = model_->index(row, column);
      const bool selected = selectionModel()->isSelected(index);
      if (selected) painter.fillRect(cell, colours.brush(QPalette::Highlight));
      if (const auto byte = model_->CellByte(row, column)) {
        const QStaticText& text = ByteText(*byte);
        painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawStaticText(QPointF(cell.x() + (cell.width() - text.size().width()) / 2,
                                       cell.y() + (cell.height() - text.size().height()) / 2),
                               text);
      }
      if (index == current && hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = cell;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
      }
    }
  }

  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QColor lines =
      QColor::fromRgba(static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
  const int bottom = std::min(dirty.bottom(), rowViewportPosition(last) + rowHeight(last) - 1);
  for (int row = first; row <= last; ++row)
    painter.fillRect(dirty.left(), rowViewportPosition(row) + rowHeight(row) - 1, dirty.width(), 1, lines);
  for (int column = 0; column < BytesPerRow; ++column) {
    const int x = columnViewportPosition(column) + (mirrored ? 0 : columnWidth(column) - 1);
    painter.fillRect(x, dirty.top(), 1, bottom - dirty.top() + 1, lines);
  }
}

void THexGrid::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  RefreshGridCells();
}

}  // namespace kestrel
