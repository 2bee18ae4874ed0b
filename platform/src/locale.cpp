#include "platform/locale.h"

#include <cctype>
#include <vector>

namespace platform {
namespace {

bool allAlpha(const std::string& s) {
  for (unsigned char c : s)
    if (!std::isalpha(c)) return false;
  return !s.empty();
}

std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string canonicalLocaleIdentifierFromString(const std::string& identifier) {
  // A POSIX locale name may still carry its charset and modifier.
  std::string id = identifier.substr(0, identifier.find_first_of(".@"));

  std::vector<std::string> subtags;
  std::string current;
  for (char c : id) {
    if (c == '-' || c == '_') {
      if (!current.empty()) subtags.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) subtags.push_back(current);

  std::string out;
  for (std::size_t i = 0; i < subtags.size(); ++i) {
    std::string tag = subtags[i];
    if (i == 0) {
      tag = lower(tag);
    } else if (tag.size() == 4 && allAlpha(tag) && i == 1) {
      // A script directly follows the language (zh-Hans, sr-Latn).
      tag = lower(tag);
      tag[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(tag[0])));
    } else if (tag.size() == 2 && allAlpha(tag) && i <= 2) {
      tag = upper(tag);
    } else {
      tag = lower(tag);
    }
    if (!out.empty()) out += '-';
    out += tag;
  }
  return out;
}

}  // namespace platform
