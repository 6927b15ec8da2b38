#include "buffer/forms/GridHeader.h"

#include <QPainter>

namespace kestrel {

GridHeader::GridHeader(Qt::Orientation orientation, QWidget* parent) : QHeaderView(orientation, parent) {
  setSectionResizeMode(QHeaderView::Fixed);
  setSectionsClickable(false);
  setHighlightSections(false);
  setMinimumSectionSize(1);
  setDefaultAlignment(Qt::AlignCenter);
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  painter->fillRect(rect, QColor(FixedCellColour));
  painter->setPen(palette().color(QPalette::Dark));
  const bool mirrored = isRightToLeft();
  const int side = mirrored ? rect.left() : rect.right();
  painter->drawLine(side, rect.top(), side, rect.bottom());
  painter->drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
  painter->setPen(palette().color(QPalette::ButtonText));
  painter->drawText(rect, Qt::AlignCenter,
                    model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString());
}

}  // namespace kestrel
