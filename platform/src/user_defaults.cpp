#include "platform/user_defaults.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

extern char** environ;

namespace platform {
namespace {

// ll_CC.charset@modifier → ll-CC, with the Chinese regions given their script
// the way the Mac lists them. Empty for C, POSIX and empty names.
std::string languageFromLocaleName(const std::string& name) {
  std::string base = name.substr(0, name.find_first_of(".@"));
  if (base.empty() || base == "C" || base == "POSIX") return {};
  std::string lang = base;
  std::string region;
  if (auto sep = base.find_first_of("_-"); sep != std::string::npos) {
    lang = base.substr(0, sep);
    region = base.substr(sep + 1);
  }
  if (lang.empty()) return {};
  if (lang == "zh" && region.size() == 2) {
    std::string r = region;
    for (auto& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (r == "CN" || r == "SG") return "zh-Hans-" + r;
    if (r == "TW" || r == "HK" || r == "MO") return "zh-Hant-" + r;
  }
  std::replace(region.begin(), region.end(), '_', '-');
  return region.empty() ? lang : lang + "-" + region;
}

const std::string* lookup(const Environment& env, const char* key) {
  auto it = env.find(key);
  return it == env.end() || it->second.empty() ? nullptr : &it->second;
}

}  // namespace

std::vector<std::string> preferredLanguagesFromEnvironment(const Environment& env) {
  std::vector<std::string> names;
  if (const std::string* list = lookup(env, "LANGUAGE")) {
    std::size_t start = 0;
    while (start <= list->size()) {
      std::size_t end = list->find(':', start);
      if (end == std::string::npos) end = list->size();
      names.push_back(list->substr(start, end - start));
      start = end + 1;
    }
  }
  for (const char* key : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (const std::string* v = lookup(env, key)) {
      names.push_back(*v);
      break;
    }
  }

  std::vector<std::string> languages;
  for (const auto& name : names) {
    std::string lang = languageFromLocaleName(name);
    if (!lang.empty() && std::find(languages.begin(), languages.end(), lang) == languages.end())
      languages.push_back(std::move(lang));
  }
  return languages;
}

UserDefaults UserDefaults::fromEnvironment(const Environment& env) {
  Dictionary values;
  std::vector<std::string> languages = preferredLanguagesFromEnvironment(env);
  if (!languages.empty()) {
    Array array;
    for (auto& l : languages) array.emplace_back(std::move(l));
    values.emplace("AppleLanguages", Value(std::move(array)));
  }
  return UserDefaults(std::move(values));
}

std::shared_ptr<const UserDefaults> UserDefaults::standardUserDefaults() {
  Environment env;
  for (char** e = environ; e && *e; ++e) {
    std::string entry(*e);
    auto eq = entry.find('=');
    if (eq != std::string::npos) env.emplace(entry.substr(0, eq), entry.substr(eq + 1));
  }
  return std::make_shared<const UserDefaults>(fromEnvironment(env));
}

const Value* UserDefaults::objectForKey(const std::string& key) const {
  auto it = values_.find(key);
  return it == values_.end() ? nullptr : &it->second;
}

const Array* UserDefaults::arrayForKey(const std::string& key) const {
  const Value* v = objectForKey(key);
  return v ? v->asArray() : nullptr;
}

}  // namespace platform
