#include "LibInstall.h"

namespace install {

const char* sAllowDownloadFlagMsg = "Unable to download runtime installer without -allowDownload";

int getRuntimeVersion(RuntimeVersionInfo& info) { return platform_getRuntimeVersion(info); }

int installLog(severity_t severity, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = platform_installLog(severity, format, args);
  va_end(args);
  return result;
}

}  // namespace install
