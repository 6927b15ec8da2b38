#pragma once
// The table behind the data grid: the buffer read live, 16 bytes a row. Only the cells the view
// asks for are ever produced, so a large image costs no more than a small one. Model rows and
// columns are the grid's data rows and columns; the header row and the label column are the
// view's headers. The model takes no edits: the buffer changes only by a commit with Enter, so
// text left in a cell otherwise is dropped.

#include <QAbstractTableModel>
#include <cstdint>
#include <optional>

namespace kestrel {

class MemoryImage;

class HexGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit HexGridModel(const MemoryImage& image, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Takes the row count from the buffer's length and writes the header row.
  void FormatGrid();
  // Has the rows [first, first + count) drawn afresh from the buffer. Their labels never change:
  // a row's label is its number.
  void RefreshRows(int first, int count);

  // The byte a cell shows; none past the end of the buffer.
  std::optional<std::uint8_t> CellByte(int row, int column) const;
  // The text a cell shows: its byte's two digits, or empty past the end of the buffer.
  QString CellText(int row, int column) const;

 private:
  const MemoryImage& image_;
  int rows_ = 1;
  bool headerWritten_ = false;
};

}  // namespace kestrel
