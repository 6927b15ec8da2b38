#include "buffer/forms/HexGridModel.h"

#include <algorithm>
#include <limits>

#include "buffer/Grid.h"
#include "buffer/HexDigits.h"
#include "buffer/MemoryImage.h"

namespace kestrel {

HexGridModel::HexGridModel(const MemoryImage& image, QObject* parent)
    : QAbstractTableModel(parent), image_(image) {}

int HexGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int HexGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : BytesPerRow; }

std::optional<std::uint8_t> HexGridModel::CellByte(int row, int column) const {
  const std::size_t index = CellByteIndex(row + 1, column + 1);
  if (row < 0 || column < 0 || column >= BytesPerRow || index >= image_.Size()) return std::nullopt;
  return image_.DataBuffer()[index];
}

QString HexGridModel::CellText(int row, int column) const {
  const auto byte = CellByte(row, column);
  return byte ? QString::fromLatin1(ByteToHex(*byte)) : QString();
}

QVariant HexGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  return CellText(index.row(), index.column());
}

QVariant HexGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || section < 0) return {};
  if (orientation == Qt::Horizontal && !headerWritten_) return QString();
  return QString::fromLatin1(HexText(static_cast<std::uint32_t>(section)));
}

Qt::ItemFlags HexGridModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::NoItemFlags;
}

void HexGridModel::FormatGrid() {
  const int rows = static_cast<int>(
      std::min<std::uint64_t>(GridRowCount(image_.Size()) - 1, std::numeric_limits<int>::max()));
  if (rows > rows_) {
    beginInsertRows({}, rows_, rows - 1);
    rows_ = rows;
    endInsertRows();
  } else if (rows < rows_) {
    beginRemoveRows({}, rows, rows_ - 1);
    rows_ = rows;
    endRemoveRows();
  }
  if (!headerWritten_) {
    headerWritten_ = true;
    emit headerDataChanged(Qt::Horizontal, 0, BytesPerRow - 1);
  }
}

void HexGridModel::RefreshRows(int first, int count) {
  const int last = std::min(first + count, rows_) - 1;
  if (first < 0 || last < first) return;
  emit dataChanged(index(first, 0), index(last, BytesPerRow - 1), {Qt::DisplayRole});
}

}  // namespace kestrel
