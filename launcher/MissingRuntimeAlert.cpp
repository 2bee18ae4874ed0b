#include "MissingRuntimeAlert.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "LanguageChoice.h"
#include "embeddedmessages.h"
#include "platform/alert.h"
#include "platform/paths.h"

namespace {

constexpr const char* kAlertTitle = "Brenmoor Vantor";

// The folder of the running executable: the GUI part is looked for there and
// nowhere else (not on the loader's search path), so that only the part
// installed with this launcher is ever loaded.
std::string executableFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return platform::deletingLastPathComponent(std::string(buffer, static_cast<std::size_t>(n)));
}

// Shows the alert through the GUI part. False when the part cannot be loaded
// or could not show the alert; the caller then tells the user on the console.
bool runAlertInGuiPart(const std::string& title, const std::string& text, const std::string& button) {
  const std::string folder = executableFolder();
  if (folder.empty()) return false;
  const std::string path = platform::appendPathComponent(folder, kLauncherAlertLibrary);
  // RTLD_LOCAL: the window system's libraries stay out of the global scope,
  // where the runtime framework (had it loaded) resolves its symbols.
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return false;
  using RunAlert = int (*)(const char*, const char*, const char*);
  auto run = reinterpret_cast<RunAlert>(dlsym(library, kLauncherAlertFunction));
  if (run == nullptr) return false;
  // The library stays loaded: the process ends right after the alert.
  return run(title.c_str(), text.c_str(), button.c_str()) == 0;
}

}  // namespace

int ShowMissingRuntimeAlert() {
  // The language is chosen now, over the launcher's own table, and not kept.
  const int index = GetFatalErrorMessageIndex(languageCodesOf(launcherMessages));
  const LauncherMessageRecord& record = launcherMessages[index];
  const std::string text = wchartoNSString(record.missingRuntimeMessage);
  const std::string ok = wchartoNSString(record.okText);

  // The GUI part makes the application object itself, with a window system
  // when there is a display and the console stand-in otherwise.
  if (!runAlertInGuiPart(kAlertTitle, text, ok)) platform::writeConsoleAlert(kAlertTitle, text, {ok});
  return 4;
}
