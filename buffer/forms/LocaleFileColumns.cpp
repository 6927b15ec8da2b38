#include "buffer/forms/LocaleFileColumns.h"

#include <QFileSystemModel>
#include <QLocale>
#include <array>

namespace kestrel {
namespace {

constexpr int SizeColumn = 1;
constexpr int DateColumn = 3;

}  // namespace

QString FileSizeText(qint64 bytes) {
  const QLocale locale;
  if (bytes < 1024) return locale.toString(bytes) + QString::fromUtf8(" байт");
  static const std::array<const char*, 5> units{"КБ", "МБ", "ГБ", "ТБ", "ПБ"};
  double value = bytes / 1024.0;
  std::size_t unit = 0;
  for (; value >= 1024 && unit + 1 < units.size(); ++unit) value /= 1024;
  return locale.toString(value, 'f', 1) + QLatin1Char(' ') + QString::fromUtf8(units[unit]);
}

QVariant LocaleFileColumns::data(const QModelIndex& index, int role) const {
  const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
  if (files && role == Qt::DisplayRole && index.isValid()) {
    const QModelIndex source = mapToSource(index);
    if (index.column() == SizeColumn && !files->isDir(source)) return FileSizeText(files->size(source));
    if (index.column() == DateColumn)
      return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
  }
  return QIdentityProxyModel::data(index, role);
}

}  // namespace kestrel
