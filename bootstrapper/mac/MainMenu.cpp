#include "MainMenu.h"

#include <memory>

#include "Bootstrapper.h"
#include "Downloader.h"
#include "ProgressWindow.h"
#include "platform/interface_file.h"

namespace {

std::unique_ptr<platform::InterfaceFile> loadMainMenu() {
  auto file = std::make_unique<platform::InterfaceFile>();
  // The Downloader first, so that it outlives the Bootstrapper that links to
  // it (adopted objects go in the reverse order).
  Downloader* downloader = file->adopt(std::make_unique<Downloader>());
  Bootstrapper* bootstrapper = file->adopt(std::make_unique<Bootstrapper>());
  bootstrapper->setDownloader(downloader);
  // The progress window fills the Downloader's outlets; adopted last, so it
  // goes before the Downloader and the Bootstrapper whose title it asks for.
  file->adopt(ProgressWindowController::connect(*downloader, [b = bootstrapper] { return b->localizedWindowTitle(); }));
  file->setApplicationDelegate(bootstrapper);
  return file;
}

}  // namespace

bool registerMainMenuInterface() { return platform::registerInterfaceFile(kMainMenuInterfaceName, loadMainMenu); }
