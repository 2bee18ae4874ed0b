// Shows one of the bootstrapper's failure messages the way the install flow
// does, in a process of its own: argv[1] "dialog" or "alert", argv[2] the
// application name (the title), argv[3] the message identifier. The text and
// the button come from the catalogue in the language of the environment.
// Exits 0 once the user has pressed OK (or the console stand-in has run).
// "modal" builds the error dialog with its controller and runs its modal loop
// directly, exiting with the loop's result (1 when OK stopped it).
#include <cstdlib>
#include <string>

#include "Dialogs.h"
#include "ErrorDialogController.h"
#include "LocalizedStrings.h"
#include "platform/application.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string kind = argv[1];
  auto message = LocalizedStrings::getEmbeddedMessage(std::atoi(argv[3]));
  if (!message) return 2;
  if (kind == "dialog") {
    dialogs::showDialog(*message, argv[2]);
  } else if (kind == "modal") {
    ErrorDialogController controller("ErrorDialog");
    platform::Window* window = controller.window();
    if (!window) return 3;
    controller.setMessage(*message, LocalizedStrings::getEmbeddedMessage(2).value_or("OK"), argv[2]);
    return platform::Application::sharedApplication().runModalForWindow(*window);
  } else if (kind == "alert") {
    dialogs::okAlert(*message, argv[2]);
  } else {
    return 2;
  }
  return 0;
}
