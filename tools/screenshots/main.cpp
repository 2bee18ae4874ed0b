// vantor-screenshots: shows one failure message of the bootstrapper exactly
// as the install flow shows it, in the language of a given catalogue record,
// so tools/screenshots.sh can capture it from the X server.
//
//   vantor-screenshots <record 0-16> <message id>
//
// Messages 8 and 10 appear in the error dialog, the others in the standard
// alert, both titled "Install Sample" with the record's OK caption. The
// program ends when OK is pressed. Without a display it writes the console
// stand-in instead.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ErrorDialogController.h"
#include "LanguageChoice.h"
#include "embeddedmessages.h"
#include "platform/alert.h"
#include "platform/application.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <record 0-16> <message id 0-10>\n", argv[0]);
    return 2;
  }
  const int record = std::atoi(argv[1]);
  const int id = std::atoi(argv[2]);
  if (record < 0 || record >= kLanguageRecordCount || id < 0 || id >= kMessageCount) return 2;

  const std::string title = "Install Sample";
  const std::string message = wchartoNSString(allMessages[record].messages[id]);
  const std::string ok = wchartoNSString(allMessages[record].messages[kMsgOK]);
  auto& app = platform::Application::sharedApplication();

  if (id == kMsgUpdateNotAvailable || id == kMsgUpdateNotAllowed) {
    ErrorDialogController controller("ErrorDialog");
    platform::Window* window = controller.window();
    controller.setMessage(message, ok, title);
    if (!window) {
      platform::writeConsoleAlert(title, message, {ok});
      return 0;
    }
    app.runModalForWindow(*window);
    window->close();
  } else {
    platform::runAlert({title, message, {ok}});
  }
  return 0;
}
