// LibInstall: the installation services shared by the bootstrapper (and, for
// the runtime search, the launcher). Portable functions over the platform_
// layer of MacInstall. Integer results are 0 for success and -3 for every
// failure; predicates return a bool.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace install {

// ---- Runtime discovery and version ----------------------------------------

// The installed runtime's four-part version. Owned by the caller; a failed
// read leaves it exactly as the caller left it.
struct RuntimeVersionInfo {
  std::int32_t major;
  std::int32_t minor;
  std::int32_t revision;
  std::int32_t build;
};

// The first existing "<Library>/Frameworks/Brenmoor Vantor.framework" of the
// local, network and system domains (in that order; the user's Library is not
// searched), or none. A file or the target of a link counts as existing.
// Searches the disk on every call.
std::optional<std::string> getRuntimeLocation();

// Fills `info` from the installed framework's CFBundleVersion. Returns 0, or
// -3 (no framework, not a bundle, no version, fewer than four numbers).
int getRuntimeVersion(RuntimeVersionInfo& info);
int platform_getRuntimeVersion(RuntimeVersionInfo& info);
// Reads "CFBundleVersion" of the bundle at the UTF-8 `path` as
// int "." int "." int "." int (blanks skipped, 32-bit saturation, tail
// ignored). Returns 0 with all four fields stored, or -3 with `info` untouched.
int platform_getFileVersion(const char* path, RuntimeVersionInfo& info);

// ---- Update policy and download addresses ---------------------------------

struct PlatformInfo {
  std::int32_t osType;          // 1 Windows, 2 macOS, 0 none
  std::int32_t osMajorVersion;
  std::int32_t osMinorVersion;
  std::int32_t osPatchVersion;  // not used in addresses
  std::int32_t architecture;    // 1 x86, 2 PowerPC, 0 none
};

// False when the update-disabled marker exists or "UpdateDisabled" is 1.
bool canUpdateRuntime();
// Whether "~/Library/Application Support/Brenmoor/Vantor/updateDisabled"
// exists (file, directory or link target). Only the user's domain counts.
bool platform_updateDisabledFileExists();
// There is no configuration store on this platform: 0 for every key.
int platform_getConfigurationValue(const char* key);
// Writes "<server>/vantor/3/nai/<os><major>.<minor>/<arch>/installer" and the
// same with "installer.p7" into the two buffers, each cut to fit its size and
// always zero-terminated. Returns false, touching neither buffer, when the
// platform description lacks a system, a processor family or a major version.
bool getBootstrapperDownloadUrls(char* installerUrl, unsigned long installerUrlSize,
                                 char* signatureUrl, unsigned long signatureUrlSize);
// Fills osType 2, the cached operating-system version and architecture 1.
void platform_getPlatformInfo(PlatformInfo& info);

// ---- Installer subprocesses -----------------------------------------------

// Starts the Application Installer of the installed runtime
// ("Versions/1.0/Brenmoor Vantor Application Installer.app" in the framework)
// with `args`, waits for it and returns its status; 3 when no framework is
// found, 5 when the bundle or its executable is missing. Writes no log.
int runAppInstaller(const std::vector<std::string>& args);

// ---- Installation log ------------------------------------------------------

// The fixed underlying type makes every int a valid severity_t: callers may
// pass a value outside 0..3 (which installLog rejects with -3) without the
// conversion itself being undefined.
enum severity_t : int {
  severity_error = 0,    // LOG_ERR
  severity_warning = 1,  // LOG_WARNING
  severity_info = 2,     // LOG_NOTICE
  severity_debug = 3,    // LOG_DEBUG
};

// One system-log record (vsyslog with the default identity and the user
// facility) formatted from `format` and the values. Returns 0, or -3 and
// writes nothing when the severity is outside 0..3.
int installLog(severity_t severity, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
int platform_installLog(severity_t severity, const char* format, va_list args);

// "Unable to download runtime installer without -allowDownload"
extern const char* sAllowDownloadFlagMsg;

}  // namespace install
