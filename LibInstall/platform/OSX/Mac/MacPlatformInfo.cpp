// The platform_ layer of the update policy: the user's update-disabled
// marker, the (absent) configuration store, and the machine description.
#include "LibInstall.h"
#include "SharedMacUtils.h"
#include "UpdatePolicy.h"
#include "platform/file_manager.h"
#include "platform/paths.h"

namespace install {

bool platform_updateDisabledFileExists() {
  // Only the user's own domain: an administrator's marker elsewhere is not
  // what this switch means.
  const auto dirs = platform::searchPathsForDirectoriesInDomains(
      platform::SearchPathDirectory::ApplicationSupport, platform::UserDomainMask, true);
  if (dirs.empty()) return false;
  return platform::fileExistsAtPath(
      platform::appendPathComponent(dirs.front(), "Brenmoor/Vantor/updateDisabled"));
}

int platform_getConfigurationValue(const char* /*key*/) {
  // No configuration store on this platform: every key reads as 0.
  return 0;
}

void platform_getPlatformInfo(PlatformInfo& info, const MacSystemInfo& system) {
  info.osType = 2;
  // Read once per process; a system that reported 0.0.0 would be asked again.
  if (MacSystemVersion::sCachedSystemVersion == MacSystemVersion::sMacSystemVersionUninitialized)
    MacSystemVersion::sCachedSystemVersion = MacSystemVersion::GetSystemVersion(system);
  const MacSystemVersion& v = MacSystemVersion::sCachedSystemVersion;
  info.osMajorVersion = v.major;
  info.osMinorVersion = v.minor;
  info.osPatchVersion = v.patch;
  info.architecture = 1;
}

void platform_getPlatformInfo(PlatformInfo& info) { platform_getPlatformInfo(info, defaultMacSystemInfo()); }

}  // namespace install
