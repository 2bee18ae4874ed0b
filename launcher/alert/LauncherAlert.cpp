// The launcher's GUI part: a small shared library, loaded by the launcher only
// when it has to show its alert, that carries the platform layer's alert and
// with it the window system. See MissingRuntimeAlert.h for the contract.
#include "platform/alert.h"

extern "C" __attribute__((visibility("default"))) int vantorLauncherRunAlert(
    const char* messageText, const char* informativeText, const char* buttonTitle) noexcept {
  if (messageText == nullptr || informativeText == nullptr || buttonTitle == nullptr) return -1;
  try {
    platform::AlertContent alert;
    alert.messageText = messageText;
    alert.informativeText = informativeText;
    alert.buttons.push_back(buttonTitle);
    // Which button closed it does not matter: there is only one.
    platform::runAlert(alert);
    return 0;
  } catch (...) {
    // Nothing may cross into the launcher, whose C++ library is its own copy.
    return -1;
  }
}
