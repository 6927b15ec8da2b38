#pragma once
// The fixed cells of the data grid, the header row and the label column: pale yellow sections
// with the grid's lines, drawn directly rather than through the style.

#include <QHeaderView>

namespace kestrel {

class GridHeader : public QHeaderView {
  Q_OBJECT

 public:
  GridHeader(Qt::Orientation orientation, QWidget* parent);

  static constexpr QRgb FixedCellColour = qRgb(255, 255, 166);

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

}  // namespace kestrel
