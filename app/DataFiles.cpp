#include "app/DataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kestrel {

QStringList DataFolders() {
  const QString programDir = QCoreApplication::applicationDirPath();
  return {programDir, QDir::cleanPath(QDir(programDir).filePath(QStringLiteral("../share/kestrel")))};
}

QString FindDataFile(const QString& relativePath) {
  for (const QString& folder : DataFolders()) {
    const QFileInfo file(QDir(folder).filePath(relativePath));
    if (file.isFile()) return file.canonicalFilePath();
  }
  return {};
}

}  // namespace kestrel
