#include "RuntimeEntry.h"

#include <dlfcn.h>

#include <cstdint>

#include "LibInstall.h"
#include "MissingRuntimeAlert.h"
#include "platform/paths.h"

namespace objrt = vantor::objrt;

namespace {
constexpr const char* kRuntimeExecutable = "Versions/1.0/Brenmoor Vantor_64";
constexpr const char* kEntryClassName = "EntryPoints";
}  // namespace

int LocateAndLoadRuntime(std::unique_ptr<objrt::Object>& entryObject,
                         std::optional<std::string>& runtimeFolder) {
  const std::optional<std::string> location = install::getRuntimeLocation();
  if (!location) return 3;

  // Not checked for existence first: the loader's failure says the same.
  const std::string path = platform::appendPathComponent(*location, kRuntimeExecutable);
  // The handle is not kept: the runtime is never unloaded, it owns the process
  // from the hand-over on. Loading runs the library's constructors, which
  // register its classes.
  if (dlopen(path.c_str(), RTLD_LAZY) == nullptr) return 4;

  // The class is asked for through its bundle, as the platform's launchers
  // do, so that an EntryPoints from anywhere but the loaded runtime's own
  // image is not taken for it.
  const std::optional<objrt::Bundle> bundle = objrt::bundleForClass(objrt::lookUpClass(kEntryClassName));
  if (!bundle) return 4;
  const objrt::Class* entryClass = bundle->classNamed(kEntryClassName);
  if (entryClass == nullptr) return 4;

  entryObject = objrt::init(*entryClass, objrt::alloc(*entryClass));
  if (!entryObject) return 4;

  runtimeFolder = platform::deletingLastPathComponent(path);
  return 0;
}

int LaunchRuntimeEntry(const char* selectorName) {
  // The platform's launcher wraps this in the process's outermost autorelease
  // pool. Ownership here is plain C++ instead: the entry object is held for
  // the rest of the process (a static, destroyed only during exit, after
  // whatever the runtime itself left to run at exit), and the folder string
  // lives in this frame, which outlasts the hand-over.
  static std::unique_ptr<objrt::Object> entryObject;
  std::optional<std::string> runtimeFolder;

  if (LocateAndLoadRuntime(entryObject, runtimeFolder) == 0) {
    try {
      const std::string selector(selectorName);
      objrt::String argument(*runtimeFolder);
      const objrt::Result result = objrt::performSelector(*entryObject, selector, &argument);
      // The runtime gives its exit status in the low 32 bits.
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(result));
    } catch (const objrt::Exception&) {
      // Ended here, neither shown nor logged: the user gets the same alert as
      // for a runtime that cannot be found.
    }
  }
  return ShowMissingRuntimeAlert();
}
