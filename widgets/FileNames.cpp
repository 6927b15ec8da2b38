#include "widgets/FileNames.h"

#include <QFile>

namespace kestrel {

std::string CoreFileName(const QString& name) {
#ifdef Q_OS_WIN
  return name.toStdString();
#else
  return QFile::encodeName(name).toStdString();
#endif
}

QString FromCoreFileName(const std::string& name) {
#ifdef Q_OS_WIN
  return QString::fromStdString(name);
#else
  return QFile::decodeName(QByteArray::fromStdString(name));
#endif
}

}  // namespace kestrel
