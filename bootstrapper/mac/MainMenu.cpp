#include "MainMenu.h"

#include <memory>

#include "Bootstrapper.h"
#include "Downloader.h"
#include "platform/interface_file.h"

namespace {

std::unique_ptr<platform::InterfaceFile> loadMainMenu() {
  auto file = std::make_unique<platform::InterfaceFile>();
  // The Downloader first, so that it outlives the Bootstrapper that links to
  // it (adopted objects go in the reverse order).
  Downloader* downloader = file->adopt(std::make_unique<Downloader>());
  Bootstrapper* bootstrapper = file->adopt(std::make_unique<Bootstrapper>());
  bootstrapper->setDownloader(downloader);
  file->setApplicationDelegate(bootstrapper);
  return file;
}

}  // namespace

bool registerMainMenuInterface() { return platform::registerInterfaceFile(kMainMenuInterfaceName, loadMainMenu); }
