#include "buffer/forms/THexGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>

#include "app/FormDesign.h"
#include "buffer/forms/HexCellDelegate.h"
#include "buffer/forms/HexGridModel.h"

namespace kestrel {

namespace {

constexpr int GridTop = 15;
constexpr int GridLeft = 5;
constexpr int RowHeight = 15;
constexpr int LabelColumnWidth = 32;
constexpr int ScrollBarAllowance = 17;
constexpr int GridLineWidth = 1;
constexpr QRgb FixedCellColour = qRgb(255, 255, 166);

}  // namespace

THexGrid::THexGrid(Session& session, QWidget* parent)
    : QTableView(parent), session_(session), model_(new HexGridModel(session, this)) {
  setObjectName(QStringLiteral("StringGrid1"));
  setModel(model_);
  setItemDelegate(new HexCellDelegate([this](const QString& text) { CommitCurrentCell(text); }, this));
  setLayoutDirection(Qt::RightToLeft);
  setFont(DesignFont());
  setShowGrid(true);
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
  for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setMinimumSectionSize(1);
  }
  verticalHeader()->setDefaultSectionSize(RowHeight + GridLineWidth);
  verticalHeader()->setFixedWidth(LabelColumnWidth + GridLineWidth);
  verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
  horizontalHeader()->setFixedHeight(RowHeight + GridLineWidth);
  horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  const QString fixed = QColor(FixedCellColour).name();
  setStyleSheet(
      QStringLiteral("QHeaderView::section, QTableCornerButton::section {"
                     " background-color: %1; border: none;"
                     " border-right: 1px solid palette(dark); border-bottom: 1px solid palette(dark); }")
          .arg(fixed));
}

int THexGrid::RowCount() const { return model_->rowCount() + 1; }

void THexGrid::ApplyGeometry() {
  if (QWidget* box = parentWidget())
    setGeometry(GridLeft, GridTop, std::max(0, box->width() - 10), std::max(0, box->height() - 20));
  const int dataColumns = BytesPerRow;
  const int columnWidth = (width() - ScrollBarAllowance - LabelColumnWidth) / dataColumns - GridLineWidth;
  horizontalHeader()->setDefaultSectionSize(std::max(1, columnWidth + GridLineWidth));
}

void THexGrid::FormatGrid() {
  model_->FormatGrid();
  cache_.Invalidate();
  ApplyGeometry();
  RefreshGridCells();
}

void THexGrid::RefreshGridCells() {
  const int top = std::max(0, rowAt(0));
  const int pitch = verticalHeader()->defaultSectionSize();
  const int visible = std::min(model_->rowCount() - top, viewport()->height() / pitch);
  if (cache_.Update(top, visible)) model_->RefreshRows(top, visible);
}

void THexGrid::CommitCurrentCell(const QString& text) {
  const QModelIndex current = currentIndex();
  if (!current.isValid()) return;
  const GridCell next = CommitCell(session_, {current.row() + 1, current.column() + 1}, text.toStdString(),
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

void THexGrid::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  RefreshGridCells();
}

}  // namespace kestrel
