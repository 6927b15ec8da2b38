#include "widgets/FormDesign.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QScreen>

namespace kestrel {
namespace {

// Moves its window to the middle of the screen whenever the window is about to be shown.
class ScreenCentring : public QObject {
 public:
  explicit ScreenCentring(QWidget* window) : QObject(window), window_(window) {
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Show) Centre();
    return false;
  }

 private:
  void Centre() {
    const QScreen* screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window_->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window_->move(frame.topLeft());
  }

  QWidget* window_;
};

}  // namespace

QFont DesignFont() {
  QFont font = QApplication::font();
  font.setPointSize(8);
  return font;
}

void SetBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void CentreOnScreenWhenShown(QWidget* window) { new ScreenCentring(window); }

void SetOuterHeight(QWidget* window, int outerHeight) {
  const int frame = window->frameGeometry().height() - window->height();
  window->setFixedHeight(std::max(0, outerHeight - frame));
}

void DeclareFixedDialog(QDialog* dialog, const QString& caption, QSize client, const QColor& colour) {
  dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint);
  dialog->setWindowTitle(caption);
  dialog->setFont(DesignFont());
  SetBackground(dialog, colour);
  dialog->setFixedSize(client);
  CentreOnScreenWhenShown(dialog);
}

}  // namespace kestrel
