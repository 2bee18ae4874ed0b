// What the process information answers besides the arguments
// (platform/process.h): the operating-system version query.
//
// On this platform the query is not answered: there is no macOS version to
// report, so callers take their fallback (the system's version file).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct OperatingSystemVersion {
  std::int64_t majorVersion = 0;
  std::int64_t minorVersion = 0;
  std::int64_t patchVersion = 0;
};

// Whether the process information responds to the query named `selector`
// ("operatingSystemVersion"). False on this platform for that query.
bool processInfoRespondsToSelector(const std::string& selector);

// The answer of the version query; all zero where the query is not answered
// (ask processInfoRespondsToSelector first).
OperatingSystemVersion processInfoOperatingSystemVersion();

}  // namespace platform
