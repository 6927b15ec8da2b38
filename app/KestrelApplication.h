#pragma once
// The application object: a Russian locale and Qt's own texts in Russian whatever the machine's
// locale, and no exception ever escapes an event handler into Qt. A silent abort ends the action;
// any other exception is shown in the error box and the program goes on.

#include <QApplication>
#include <QTranslator>

namespace kestrel {

class KestrelApplication : public QApplication {
  Q_OBJECT

 public:
  KestrelApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  QTranslator qtTranslator_;
};

}  // namespace kestrel
