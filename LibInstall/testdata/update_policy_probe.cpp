// vantor-update-policy-probe: asks the update policy and the download
// addresses as the bootstrapper does, for the end-to-end tests that run it in
// the emulated Mac (literal /Library and /System/Library paths, the user's
// home). Prints "key=value" lines: canUpdate, marker, addresses (0|1),
// installer, signature, version.
#include <cstdio>

#include "LibInstall.h"
#include "SharedMacUtils.h"

int main() {
  std::printf("canUpdate=%d\n", install::canUpdateRuntime() ? 1 : 0);
  std::printf("marker=%d\n", install::platform_updateDisabledFileExists() ? 1 : 0);
  char installer[512] = "", signature[512] = "";
  const bool ok = install::getBootstrapperDownloadUrls(installer, sizeof installer, signature, sizeof signature);
  std::printf("addresses=%d\ninstaller=%s\nsignature=%s\n", ok ? 1 : 0, installer, signature);
  install::PlatformInfo info{0, 0, 0, 0, 0};
  install::platform_getPlatformInfo(info);
  std::printf("version=%d.%d.%d\n", info.osMajorVersion, info.osMinorVersion, info.osPatchVersion);
  return 0;
}
