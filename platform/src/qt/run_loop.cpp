#include "platform/run_loop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "platform/application.h"

namespace platform {

bool runLoopUntil(const std::function<bool()>& done, double timeoutSeconds) {
  Application::sharedApplication();
  if (done()) return true;
  // A real event loop (not processEvents in a loop): events are handled the
  // moment they arrive, as in the application's own loop, so what runs here
  // behaves and performs as it does in the program. The condition is looked
  // at every few milliseconds.
  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  const qint64 limit = static_cast<qint64>(timeoutSeconds * 1000.0);
  QTimer check;
  check.setInterval(5);
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done() || clock.elapsed() >= limit) loop.quit();
  });
  check.start();
  loop.exec();
  return done();
}

void runLoopFor(double seconds) {
  runLoopUntil([] { return false; }, seconds);
}

}  // namespace platform
