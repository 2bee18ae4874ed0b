// Run options for the real bootstrapper on a test's own X server in the
// emulated Mac.
#pragma once

#include <cstdlib>
#include <string>

#include "EmulatedMac.h"

namespace displaytest {

// DISPLAY set to `display` (and its socket shown inside). Under the
// sanitizers the system libraries behind a display keep caches that the leak
// checker reports at exit, so the suppressions file `lsanSuppressions` is
// added to LSAN_OPTIONS.
inline harness::RunOptions onDisplay(const std::string& display, const std::string& lsanSuppressions) {
  harness::RunOptions o;
  o.display = display;
  const char* lsan = std::getenv("LSAN_OPTIONS");
  o.env["LSAN_OPTIONS"] = std::string(lsan != nullptr && *lsan != '\0' ? std::string(lsan) + ":" : "") +
                          "suppressions=" + lsanSuppressions;
  return o;
}

}  // namespace displaytest
