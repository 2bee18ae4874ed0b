// libFuzzer target: arbitrary bytes as the runtime framework's
// CFBundleVersion. Two ways in:
//  - the scanner alone, walked as the version reading walks it (number, then
//    "." and number, four times); each number it scans must be what the C
//    library reads from the same characters, cut to 32 bits, and a failed
//    scan must leave the position where it was;
//  - the real reading (install::platform_getFileVersion) of a framework
//    folder whose Info.plist holds the bytes as its version string: it must
//    answer 0 with all four numbers of the scanner walk, or -3 with the
//    record untouched.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzFiles.h"
#include "LibInstall.h"
#include "platform/scanner.h"
#include "platform/value.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// The scanner's walk over `text`; true with the four numbers when all four
// were read.
bool scanVersion(const std::string& text, std::int32_t (&parts)[4]) {
  platform::Scanner scanner(text);
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      const std::size_t before = scanner.scanLocation();
      if (!scanner.scanString(".")) {
        check(scanner.scanLocation() == before);
        return false;
      }
      check(scanner.scanLocation() > before && text[scanner.scanLocation() - 1] == '.');
    }
    const std::size_t before = scanner.scanLocation();
    std::int32_t value = 12345;
    if (!scanner.scanInt(&value)) {
      check(scanner.scanLocation() == before && value == 12345);
      return false;
    }
    const std::size_t after = scanner.scanLocation();
    check(after > before && after <= text.size());
    // The same characters through strtoll: all of them are taken, and the
    // value is the same once cut to the 32-bit range.
    const std::string span = text.substr(before, after - before);
    char* end = nullptr;
    errno = 0;
    long long expected = std::strtoll(span.c_str(), &end, 10);
    check(end == span.c_str() + span.size());
    if (expected > INT32_MAX) expected = INT32_MAX;
    if (expected < INT32_MIN) expected = INT32_MIN;
    check(value == expected);
    parts[i] = value;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const std::string framework = [] {
    const std::string dir = fuzz::pathIn("Brenmoor Vantor.framework");
    std::filesystem::create_directories(dir + "/Resources");
    return dir;
  }();
  const std::string version(reinterpret_cast<const char*>(bytes), size);

  std::int32_t parts[4] = {};
  const bool scanned = scanVersion(version, parts);

  const std::string plist = framework + "/Resources/Info.plist";
  check(platform::writePropertyListXml({{"CFBundleVersion", version}}, plist));
  install::RuntimeVersionInfo info{-7, -7, -7, -7};
  const int result = install::platform_getFileVersion(framework.c_str(), info);
  check(result == 0 || result == -3);
  if (result == -3) {
    check(info.major == -7 && info.minor == -7 && info.revision == -7 && info.build == -7);
  }
  // Where the file gives the text back unchanged, the reading agrees with
  // the scanner walk.
  const auto read = platform::readPropertyListDictionary(plist);
  const std::string* readBack = nullptr;
  if (read) {
    const auto it = read->find("CFBundleVersion");
    if (it != read->end()) readBack = it->second.asString();
  }
  if (readBack && *readBack == version) {
    check((result == 0) == scanned);
    if (scanned)
      check(info.major == parts[0] && info.minor == parts[1] && info.revision == parts[2] &&
            info.build == parts[3]);
  }
  return 0;
}
