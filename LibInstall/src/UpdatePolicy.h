// The update policy and the download addresses (LibInstall.h declares the
// functions the bootstrapper calls) in the forms that take their sources as
// parameters: the functions of LibInstall.h call these with the platform_
// layer, and tests call them with sources of their own.
#pragma once

#include <functional>

#include "LibInstall.h"

class MacSystemInfo;

namespace install {

// What canUpdateRuntime asks.
class UpdatePolicySource {
 public:
  virtual ~UpdatePolicySource() = default;
  virtual bool updateDisabledFileExists() const = 0;
  virtual int configurationValue(const char* key) const = 0;
};

// platform_updateDisabledFileExists and platform_getConfigurationValue.
const UpdatePolicySource& platformUpdatePolicySource();

// False when the marker exists (the configuration is then not asked), else
// false only when "UpdateDisabled" is exactly 1.
bool canUpdateRuntime(const UpdatePolicySource& source);

// getBootstrapperDownloadUrls with the platform description filled by
// `fillPlatformInfo` (given a record set to all zeros).
bool getBootstrapperDownloadUrls(char* installerUrl, unsigned long installerUrlSize,
                                 char* signatureUrl, unsigned long signatureUrlSize,
                                 const std::function<void(PlatformInfo&)>& fillPlatformInfo);

// platform_getPlatformInfo reading an uncached version from `system`.
void platform_getPlatformInfo(PlatformInfo& info, const MacSystemInfo& system);

}  // namespace install
