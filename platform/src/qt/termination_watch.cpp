// The event-loop half of the termination service: a socket notifier on the
// signal pipe hands each caught signal to the program's handler.
#include <QCoreApplication>
#include <QSocketNotifier>

#include "platform/application.h"
#include "platform/termination_signals.h"
#include "widgets_qt.h"

namespace platform {
namespace {

struct Watch {
  QSocketNotifier* notifier = nullptr;  // owned by the application object
  TerminationHandler handler;
};

// Never destroyed: a handler that exits the process runs inside the
// notifier's callback, and exit handlers must not tear the watch down under
// it.
Watch& watch() {
  static qt::Immortal<Watch> w;
  return w.get();
}

void deliver() {
  for (CaughtSignal s = takeCaughtTerminationSignal(); s.number != 0; s = takeCaughtTerminationSignal()) {
    // A copy: the handler may replace or clear itself.
    const TerminationHandler handler = watch().handler;
    if (handler) handler(s.number);
  }
}

}  // namespace

bool setTerminationHandler(TerminationHandler handler) {
  Application::sharedApplication();
  const int fd = catchTerminationSignals();
  if (fd < 0) return false;
  Watch& w = watch();
  w.handler = std::move(handler);
  if (w.notifier == nullptr) {
    w.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(w.notifier, &QSocketNotifier::activated, w.notifier, [] { deliver(); });
  }
  w.notifier->setEnabled(true);
  return true;
}

void clearTerminationHandler() {
  Watch& w = watch();
  if (w.notifier != nullptr) w.notifier->setEnabled(false);
  w.handler = nullptr;
  releaseTerminationSignals();
}

}  // namespace platform
