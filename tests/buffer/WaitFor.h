#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <functional>

namespace kestrel {

// Runs the event loop until `done` holds or `ms` milliseconds have passed; returns `done()`.
inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

}  // namespace kestrel
