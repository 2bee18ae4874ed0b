// The operating-system version, read once per process: MacSystemVersion holds
// it packed into 8 bytes and caches it; ObtainMacSystemVersion reads it from
// the process information or, where that does not answer, from the system's
// version file (<core services>/SystemVersion.plist, key "ProductVersion").
//
// Main thread only; the cache is a plain static without a lock.
#pragma once

#include <cstdint>
#include <string>

// What the version reading asks of the system. The process's own answers
// come from defaultMacSystemInfo(); tests give their own.
class MacSystemInfo {
 public:
  virtual ~MacSystemInfo() = default;
  // Whether the process information answers "operatingSystemVersion".
  virtual bool respondsToOperatingSystemVersion() const = 0;
  // Its answer (asked only when it responds).
  virtual void operatingSystemVersion(std::int64_t& major, std::int64_t& minor,
                                      std::int64_t& patch) const = 0;
  // The core-services folder of the system domain (where SystemVersion.plist
  // lives); empty when there is none.
  virtual std::string coreServicesDirectory() const = 0;
};

// The process information of the platform layer and the literal
// /System/Library/CoreServices. Lives as long as the process.
const MacSystemInfo& defaultMacSystemInfo();

// The version as 8 bytes: major, minor, patch (16 bits each) and 16 zero
// bits. Equal when all 8 bytes are equal.
class MacSystemVersion {
 public:
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t patch = 0;
  std::uint16_t reserved = 0;  // always 0

  bool operator==(const MacSystemVersion& other) const;
  bool operator!=(const MacSystemVersion& other) const { return !(*this == other); }

  // All zero: the version has not been read yet.
  static const MacSystemVersion sMacSystemVersionUninitialized;
  // The cache: all zero at process start, filled by the first
  // install::platform_getPlatformInfo, never cleared.
  static MacSystemVersion sCachedSystemVersion;

  // Reads the version afresh (ObtainMacSystemVersion) and packs the three
  // numbers, each cut to its low 16 bits.
  static MacSystemVersion GetSystemVersion();
  static MacSystemVersion GetSystemVersion(const MacSystemInfo& system);
};
static_assert(sizeof(MacSystemVersion) == 8, "MacSystemVersion is 8 bytes");

// Fills the three numbers (each cut to 32 bits) from the process
// information when it answers the version query; otherwise from the
// "ProductVersion" of the version file, split at every ".": major = the first
// part's integer value (10 without parts), minor and patch the second and
// third (0 without them). A missing or unreadable file, or one without a
// "ProductVersion" string, gives 10, 0, 0. An integer value skips leading
// white space, takes an optional sign and the digits up to the first other
// character, and is 0 without digits.
void ObtainMacSystemVersion(unsigned int* major, unsigned int* minor, unsigned int* patch);
void ObtainMacSystemVersion(unsigned int* major, unsigned int* minor, unsigned int* patch,
                            const MacSystemInfo& system);
