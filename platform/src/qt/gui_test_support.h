// Helpers shared by the platform layer's GUI tests (offscreen platform).
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>

namespace platform::testing {

// Calls `act` with the first visible top-level widget that `match` accepts,
// once one appears; polls from the event loop so it works inside modal
// loops. Gives up after `timeout` (the test then fails on its own result).
inline void whenWidgetAppears(std::function<QWidget*(QWidget*)> match, std::function<void(QWidget*)> act,
                              std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  auto* timer = new QTimer(qApp);  // deletes itself below or with the application
  auto started = std::chrono::steady_clock::now();
  QObject::connect(timer, &QTimer::timeout, [=] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible()) continue;
      if (QWidget* target = match(w)) {
        timer->stop();
        timer->deleteLater();
        act(target);
        return;
      }
    }
    if (std::chrono::steady_clock::now() - started > timeout) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(10);
}

}  // namespace platform::testing
