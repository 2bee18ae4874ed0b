#include "platform/run_loop.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include "platform/application.h"

namespace platform {

bool runLoopUntil(const std::function<bool()>& done, double timeoutSeconds) {
  Application::sharedApplication();
  QElapsedTimer clock;
  clock.start();
  const qint64 limit = static_cast<qint64>(timeoutSeconds * 1000.0);
  while (!done()) {
    if (clock.elapsed() >= limit) return done();
    // Waits for events up to 10 ms at a time, so the check above runs often
    // without spinning.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
  }
  return true;
}

void runLoopFor(double seconds) {
  runLoopUntil([] { return false; }, seconds);
}

}  // namespace platform
