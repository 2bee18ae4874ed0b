#include "UpdatePolicy.h"

#include <cstdio>

#include "VantorDeployment.h"

namespace install {
namespace {

class PlatformUpdatePolicySource : public UpdatePolicySource {
 public:
  bool updateDisabledFileExists() const override { return platform_updateDisabledFileExists(); }
  int configurationValue(const char* key) const override { return platform_getConfigurationValue(key); }
};

const char* systemWord(std::int32_t osType) {
  switch (osType) {
    case 1: return "windows";
    case 2: return "macos";
    default: return "unknown";
  }
}

const char* processorWord(std::int32_t architecture) {
  switch (architecture) {
    case 1: return "x86";
    case 2: return "ppc";
    default: return "unknown";
  }
}

// The server prefix is the deployer's, compiled in; the path is fixed by the
// server's layout: one installer per system word, version and processor.
void formatAddress(char* buffer, unsigned long size, const PlatformInfo& info, const char* file) {
  if (size == 0) return;
  std::snprintf(buffer, size, "%s/vantor/3/nai/%s%d.%d/%s/%s", VANTOR_DOWNLOAD_SERVER,
                systemWord(info.osType), info.osMajorVersion, info.osMinorVersion,
                processorWord(info.architecture), file);
}

}  // namespace

const UpdatePolicySource& platformUpdatePolicySource() {
  static const PlatformUpdatePolicySource source;
  return source;
}

bool canUpdateRuntime(const UpdatePolicySource& source) {
  if (source.updateDisabledFileExists()) return false;
  return source.configurationValue("UpdateDisabled") != 1;
}

bool canUpdateRuntime() { return canUpdateRuntime(platformUpdatePolicySource()); }

bool getBootstrapperDownloadUrls(char* installerUrl, unsigned long installerUrlSize,
                                 char* signatureUrl, unsigned long signatureUrlSize,
                                 const std::function<void(PlatformInfo&)>& fillPlatformInfo) {
  PlatformInfo info{0, 0, 0, 0, 0};
  fillPlatformInfo(info);
  if (info.osType == 0 || info.architecture == 0 || info.osMajorVersion == 0) return false;
  // Cut to fit and always terminated; a cut address is not reported (the
  // callers' buffers leave ample room).
  formatAddress(installerUrl, installerUrlSize, info, "installer");
  formatAddress(signatureUrl, signatureUrlSize, info, "installer.p7");
  return true;
}

bool getBootstrapperDownloadUrls(char* installerUrl, unsigned long installerUrlSize,
                                 char* signatureUrl, unsigned long signatureUrlSize) {
  return getBootstrapperDownloadUrls(installerUrl, installerUrlSize, signatureUrl, signatureUrlSize,
                                     [](PlatformInfo& info) { platform_getPlatformInfo(info); });
}

}  // namespace install
