#pragma once
// The declared look shared by the program's windows: font, background colour, fixed dialog
// border, centring on the screen, and named controls at fixed pixel places.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

class QDialog;

namespace kestrel {

// The windows' declared font is an 8-point sans face; the system's sans family stands in for
// the Windows face the windows were designed with.
QFont DesignFont();

void SetBackground(QWidget* widget, const QColor& colour);

// Centres the window on its screen each time it is shown.
void CentreOnScreenWhenShown(QWidget* window);

// A dialog with a fixed border, centred on the screen, of the given client size and colour.
void DeclareFixedDialog(QDialog* dialog, const QString& caption, QSize client, const QColor& colour);

// Sets a fixed-border window's height including its frame, as far as the window system has told
// the frame's size (it has not before the window is first shown).
void SetOuterHeight(QWidget* window, int outerHeight);

// Creates a control named after the form's declaration, at a fixed place in `parent`.
template <class Control>
Control* Place(QWidget* parent, const char* name, const QRect& geometry) {
  auto* control = new Control(parent);
  control->setObjectName(QString::fromLatin1(name));
  control->setGeometry(geometry);
  return control;
}

}  // namespace kestrel
