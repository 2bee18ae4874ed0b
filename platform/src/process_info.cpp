#include "platform/process_info.h"

namespace platform {

bool processInfoRespondsToSelector(const std::string& /*selector*/) {
  // Linux has no operating-system version in the platform's sense: the
  // query is not offered, and callers read the system's version file.
  return false;
}

OperatingSystemVersion processInfoOperatingSystemVersion() { return {}; }

}  // namespace platform
