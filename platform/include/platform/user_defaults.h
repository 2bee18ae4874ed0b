// User defaults: the preferences a program reads by key.
//
// On this platform the only value the system's code reads is "AppleLanguages",
// the user's preferred languages in order, which is built from the locale
// environment the way a Mac lists them:
//   - the LANGUAGE list (colon-separated) first, then the first one set (and
//     not empty) of LC_ALL, LC_MESSAGES and LANG;
//   - each entry ll_CC.charset@modifier becomes ll-CC (charset and modifier
//     dropped, "_" becomes "-");
//   - C and POSIX (with or without a charset) and empty entries are skipped;
//   - zh_CN and zh_SG become zh-Hans-CN and zh-Hans-SG, zh_TW, zh_HK and zh_MO
//     become zh-Hant-TW, zh-Hant-HK and zh-Hant-MO;
//   - a language already listed is not listed again.
// When nothing is left the key has no value (not an empty array), so callers
// take their fallback exactly as they do for a user who never chose.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/value.h"

namespace platform {

using Environment = std::map<std::string, std::string>;

// The preferred languages that `env` yields by the rules above (possibly
// empty).
std::vector<std::string> preferredLanguagesFromEnvironment(const Environment& env);

class UserDefaults {
 public:
  // Defaults holding exactly `values` (for tests and tools: any kind of value
  // under any key, "AppleLanguages" included).
  explicit UserDefaults(Dictionary values) : values_(std::move(values)) {}

  // Defaults built from an environment map: "AppleLanguages" as above and
  // nothing else.
  static UserDefaults fromEnvironment(const Environment& env);

  // The defaults of this process, built from the process environment at the
  // time of the call (a program that changes its locale environment sees the
  // change on the next call). Never null.
  static std::shared_ptr<const UserDefaults> standardUserDefaults();

  // The value under `key`, or null. Valid while this object lives.
  const Value* objectForKey(const std::string& key) const;

  // The value under `key` when it is an array, else null (a missing key and a
  // value of another kind alike).
  const Array* arrayForKey(const std::string& key) const;

  const Dictionary& dictionaryRepresentation() const { return values_; }

 private:
  Dictionary values_;
};

}  // namespace platform
