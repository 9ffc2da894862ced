// Shared by the client's tests and the screens program.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace client_test {

// Processes events until done() holds; false when timeout_ms passed first.
inline bool pump_until(const std::function<bool()>& done, int timeout_ms = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace client_test
