#include "app/KestrelApplication.h"

#include <QLibraryInfo>
#include <QLocale>

#include "app/MessageBoxes.h"
#include "buffer/Abort.h"

// The resources live in a static library, whose registration the linker would otherwise drop.
static void RegisterResources() { Q_INIT_RESOURCE(resources); }

namespace kestrel {

KestrelApplication::KestrelApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // Whatever the machine's locale: numbers, dates and the file types' descriptions from the MIME
  // database follow the default locale, the toolkit's own words its translation.
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  RegisterResources();
  setApplicationName(QStringLiteral("kestrel"));
  setApplicationVersion(QStringLiteral(KESTREL_VERSION));
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
