#pragma once
// The program's windows: created once, in order, each completely before the next.

#include <QPointer>
#include <memory>

#include "link/SerialDriver.h"

namespace kestrel {

class TBitDialog;

// The lock-bit editor and the fuse-bit editor; null before CreateForms and once destroyed.
extern QPointer<TBitDialog> Form4;
extern QPointer<TBitDialog> Form6;

// Creates Form1, Form3, Form4, Form5, Form6 and Form7. `serialDriver` is the device behind the
// main window's serial component; null means the system's serial ports.
void CreateForms(std::unique_ptr<SerialDriver> serialDriver = nullptr);

// Destroys the windows that still exist, the latest created first; the settings dialog goes
// before the main window, whose folder it stores.
void DestroyForms();

}  // namespace kestrel
