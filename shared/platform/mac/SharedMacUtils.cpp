#include "SharedMacUtils.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/paths.h"
#include "platform/process_info.h"
#include "platform/value.h"

namespace {

class PlatformSystemInfo : public MacSystemInfo {
 public:
  bool respondsToOperatingSystemVersion() const override {
    return platform::processInfoRespondsToSelector("operatingSystemVersion");
  }
  void operatingSystemVersion(std::int64_t& major, std::int64_t& minor,
                              std::int64_t& patch) const override {
    const platform::OperatingSystemVersion v = platform::processInfoOperatingSystemVersion();
    major = v.majorVersion;
    minor = v.minorVersion;
    patch = v.patchVersion;
  }
  std::string coreServicesDirectory() const override {
    const auto dirs = platform::searchPathsForDirectoriesInDomains(
        platform::SearchPathDirectory::CoreServices, platform::SystemDomainMask, true);
    return dirs.empty() ? std::string() : dirs.front();
  }
};

// The integer value of a text: leading white space skipped, an optional
// sign, the digits up to the first other character; 0 without digits;
// saturated at the limits of int.
int integerValue(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::vector<std::string> splitAtDots(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = text.find('.', start);
    parts.push_back(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return parts;
}

}  // namespace

const MacSystemInfo& defaultMacSystemInfo() {
  static const PlatformSystemInfo info;
  return info;
}

const MacSystemVersion MacSystemVersion::sMacSystemVersionUninitialized{};
MacSystemVersion MacSystemVersion::sCachedSystemVersion{};

bool MacSystemVersion::operator==(const MacSystemVersion& other) const {
  return std::memcmp(this, &other, sizeof *this) == 0;
}

MacSystemVersion MacSystemVersion::GetSystemVersion() { return GetSystemVersion(defaultMacSystemInfo()); }

MacSystemVersion MacSystemVersion::GetSystemVersion(const MacSystemInfo& system) {
  unsigned int major = 0, minor = 0, patch = 0;
  ObtainMacSystemVersion(&major, &minor, &patch, system);
  MacSystemVersion v;
  v.major = static_cast<std::uint16_t>(major & 0xffff);
  v.minor = static_cast<std::uint16_t>(minor & 0xffff);
  v.patch = static_cast<std::uint16_t>(patch & 0xffff);
  v.reserved = 0;
  return v;
}

void ObtainMacSystemVersion(unsigned int* major, unsigned int* minor, unsigned int* patch) {
  ObtainMacSystemVersion(major, minor, patch, defaultMacSystemInfo());
}

void ObtainMacSystemVersion(unsigned int* major, unsigned int* minor, unsigned int* patch,
                            const MacSystemInfo& system) {
  if (system.respondsToOperatingSystemVersion()) {
    std::int64_t a = 0, b = 0, c = 0;
    system.operatingSystemVersion(a, b, c);
    *major = static_cast<unsigned int>(a);
    *minor = static_cast<unsigned int>(b);
    *patch = static_cast<unsigned int>(c);
    return;
  }
  std::vector<std::string> parts;
  const std::string dir = system.coreServicesDirectory();
  if (!dir.empty()) {
    const auto dict =
        platform::readPropertyListDictionary(platform::appendPathComponent(dir, "SystemVersion.plist"));
    if (dict) {
      auto it = dict->find("ProductVersion");
      if (it != dict->end())
        if (const std::string* version = it->second.asString()) parts = splitAtDots(*version);
    }
  }
  *major = static_cast<unsigned int>(parts.size() >= 1 ? integerValue(parts[0]) : 10);
  *minor = static_cast<unsigned int>(parts.size() >= 2 ? integerValue(parts[1]) : 0);
  *patch = static_cast<unsigned int>(parts.size() >= 3 ? integerValue(parts[2]) : 0);
}
