#include "app/KestrelApplication.h"

#include <QLibraryInfo>

#include "app/MessageBoxes.h"
#include "link/Abort.h"

namespace kestrel {

KestrelApplication::KestrelApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("kestrel"));
  setOrganizationName(QStringLiteral("TARVELIN"));
  setDesktopFileName(QStringLiteral("kestrel"));
  if (qtTranslator_.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    installTranslator(&qtTranslator_);
}

bool KestrelApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const EAbort&) {
  } catch (const std::exception& error) {
    ShowExceptionBox(QString::fromUtf8(error.what()));
  } catch (...) {
    ShowExceptionBox(QString::fromUtf8("Непредвиденная ошибка"));
  }
  return false;
}

}  // namespace kestrel
