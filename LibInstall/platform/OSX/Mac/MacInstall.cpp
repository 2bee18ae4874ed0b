// The platform_ layer beneath the portable installation services: the
// runtime's version and the system-log record.
#include <syslog.h>

#include <cstdint>

#include "LibInstall.h"
#include "platform/bundle.h"
#include "platform/scanner.h"

namespace install {
namespace {

// System-log priority of each severity_t, indexed by its value.
constexpr std::int32_t kSeverityPriority[4] = {LOG_ERR, LOG_WARNING, LOG_NOTICE, LOG_DEBUG};
static_assert(LOG_ERR == 3 && LOG_WARNING == 4 && LOG_NOTICE == 5 && LOG_DEBUG == 7);

}  // namespace

int platform_getRuntimeVersion(RuntimeVersionInfo& info) {
  const std::optional<std::string> location = getRuntimeLocation();
  if (!location) return -3;
  return platform_getFileVersion(location->c_str(), info);
}

int platform_getFileVersion(const char* path, RuntimeVersionInfo& info) {
  if (!path) return -3;
  const std::shared_ptr<platform::Bundle> bundle = platform::Bundle::bundleWithPath(path);
  if (!bundle) return -3;
  const platform::Value* value = bundle->objectForInfoDictionaryKey("CFBundleVersion");
  if (!value || !value->asString()) return -3;

  platform::Scanner scanner(*value->asString());
  std::int32_t parts[4] = {};
  // int "." int "." int "." int; whatever follows the fourth number is not
  // looked at (a fifth part or a word after a blank).
  for (int i = 0; i < 4; ++i) {
    if (i > 0 && !scanner.scanString(".")) return -3;
    if (!scanner.scanInt(&parts[i])) return -3;
  }
  // All four at once, so a failed read never leaves a half-filled record.
  info.major = parts[0];
  info.minor = parts[1];
  info.revision = parts[2];
  info.build = parts[3];
  return 0;
}

int platform_installLog(severity_t severity, const char* format, va_list args) {
  // As unsigned, a negative severity is out of range too.
  const auto index = static_cast<unsigned>(severity);
  if (index > 3) return -3;
  // No openlog: the record carries the platform's default identity (the
  // program's name) and facility (user).
  vsyslog(kSeverityPriority[index], format, args);
  return 0;
}

}  // namespace install
