#include "Dialogs.h"

#include <memory>
#include <new>
#include <vector>

#include "ErrorDialogController.h"
#include "LocalizedStrings.h"
#include "embeddedmessages.h"
#include "platform/alert.h"
#include "platform/application.h"

namespace dialogs {
namespace {

std::string okText() { return LocalizedStrings::getEmbeddedMessage(kMsgOK).value_or("OK"); }

// The dialogs shown live as long as the process: they are never destroyed, so
// an exit from inside a modal callback does not tear windows down under the
// event loop.
std::vector<std::unique_ptr<ErrorDialogController>>& shownDialogs() {
  alignas(std::vector<std::unique_ptr<ErrorDialogController>>) static unsigned char
      storage[sizeof(std::vector<std::unique_ptr<ErrorDialogController>>)];
  static auto* dialogs = ::new (static_cast<void*>(storage)) std::vector<std::unique_ptr<ErrorDialogController>>();
  return *dialogs;
}

}  // namespace

std::string consoleTextOfDialogMessage(const std::string& message) {
  std::string text;
  for (const auto& run : splitMessageIntoRuns(message)) {
    text += run.text;
    if (run.link) text += (run.text.empty() ? "<" : " <") + *run.link + ">";
  }
  return text;
}

void showDialog(const std::string& message, const std::string& appName) {
  auto& app = platform::Application::sharedApplication();
  auto controller = std::make_unique<ErrorDialogController>("ErrorDialog");
  platform::Window* window = controller->window();
  const std::string ok = okText();
  controller->setMessage(message, ok, appName);
  if (window) {
    app.runModalForWindow(*window);
  } else {
    platform::writeConsoleAlert(appName, consoleTextOfDialogMessage(message), {ok});
  }
  shownDialogs().push_back(std::move(controller));
}

void okAlert(const std::string& message, const std::string& appName) {
  platform::AlertContent alert;
  alert.messageText = appName;
  alert.informativeText = message;
  alert.buttons = {okText()};
  platform::runAlert(alert);
}

}  // namespace dialogs
