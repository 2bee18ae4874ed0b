// The bootstrapper's entry: hands control to the application object, which
// loads the main interface (creating the Bootstrapper and the Downloader) and
// runs the event loop. The Bootstrapper ends the process through exit() on
// every path, so the result below is only reached if the loop ever returns.
#include "MainMenu.h"
#include "platform/application.h"

int main(int argc, char** argv) {
  registerMainMenuInterface();
  return platform::applicationMain(argc, argv, kMainMenuInterfaceName);
}
