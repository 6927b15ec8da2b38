#pragma once
// The size and date columns of a file system model, written in the program's locale. The toolkit
// writes both in the system's locale, with unit names of its own ("480 bytes", "1.20 KiB"); the
// type column already follows the program's locale through the MIME database.

#include <QIdentityProxyModel>
#include <QString>

namespace kestrel {

class LocaleFileColumns : public QIdentityProxyModel {
  Q_OBJECT

 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  // The source must be a QFileSystemModel; other columns and roles pass through.
  QVariant data(const QModelIndex& index, int role) const override;
};

// A file size as the file list shows it: "480 байт", "1,2 КБ", "3,4 МБ".
QString FileSizeText(qint64 bytes);

}  // namespace kestrel
