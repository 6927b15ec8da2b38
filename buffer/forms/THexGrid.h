#pragma once
// The data grid StringGrid1: the memory image as lines of 16 bytes under a header row, with the
// line numbers in a label column, drawn mirrored (labels at the right edge, column 0 next to
// them, F at the left). Single bytes are edited in place and committed with Enter.

#include <QFont>
#include <QStaticText>
#include <QTableView>
#include <array>

#include "buffer/Grid.h"

namespace kestrel {

class MemoryImage;
class HexGridModel;

class THexGrid : public QTableView {
  Q_OBJECT

 public:
  THexGrid(MemoryImage& image, QWidget* parent);

  // The buffer's length or content changed: header row, row count, geometry, every cell in view.
  void FormatGrid();
  // The `count` bytes from `first` on changed, not the length: the rows of them in view are drawn
  // afresh. Rows out of view are drawn from the buffer when they come into view.
  void BytesChanged(std::size_t first, std::size_t count);
  // Brings the cells of the rows in view, the partly visible last one included, into line with
  // the buffer, unless the view is the one of the last refresh.
  void RefreshGridCells();
  // Places the grid in its group box and sizes its rows and columns from the grid's width.
  void ApplyGeometry();

  // Enter on the current cell with `text` as its content.
  void CommitCurrentCell(const QString& text);

  HexGridModel& Model() const { return *model_; }
  // The grid's row count, header row included.
  int RowCount() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  // Draws the cells in view straight from the buffer, with texts laid out once for each of the
  // 256 byte values, so that a page costs little more than copying its glyphs.
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct RowsInView {
    int top = 0;
    int count = 0;
  };
  // The rows in view, the partly visible last one included.
  RowsInView InView() const;
  const QStaticText& ByteText(std::uint8_t value);

  MemoryImage& image_;
  HexGridModel* model_;
  ViewCache cache_;
  std::array<QStaticText, 256> byteTexts_;
  QFont byteTextFont_;
  bool byteTextsPrepared_ = false;
};

}  // namespace kestrel
