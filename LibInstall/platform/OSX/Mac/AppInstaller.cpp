#include "AppInstaller.h"

#include <cerrno>

#include "LibInstall.h"
#include "platform/bundle.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace install {

int platform_runSubprocess(const std::string& path, const std::vector<std::string>& arguments) {
  const platform::ChildResult result = platform::runChildAndWait(path, arguments);
  if (!result.started) {
    // The caller logs this like any failing child; a status of 0 here would
    // let a missing installer pass for a finished installation.
    return result.error == ENOENT || result.error == ENOTDIR ? kChildNotFound
                                                              : kChildNotExecutable;
  }
  return result.status;
}

int runAppInstaller(const std::vector<std::string>& args) {
  // Looked up again rather than taken from the caller: the framework may
  // have gone since the version check, and then there is nothing to start.
  const std::optional<std::string> location = getRuntimeLocation();
  if (!location) return kAppInstallerNoRuntimeLocation;

  const std::string bundlePath = platform::appendPathComponent(*location, kAppInstallerRelativePath);
  const std::shared_ptr<platform::Bundle> bundle = platform::Bundle::bundleWithPath(bundlePath);
  if (!bundle) return kAppInstallerNotFound;

  const std::optional<std::string> executable = bundle->executablePath();
  if (!executable) return kAppInstallerNotFound;

  return platform_runSubprocess(*executable, args);
}

}  // namespace install
