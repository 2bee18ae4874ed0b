#include "LanguageChoice.h"

#include "platform/locale.h"
#include "platform/user_defaults.h"

int FindMessageIndex(const std::string& candidate, bool& found, const LanguageCodes& codes) {
  found = false;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (candidate == codes[i]) {
      found = true;
      return static_cast<int>(i);
    }
  }
  return kFallbackLanguageIndex;
}

int GetFatalErrorMessageIndex(const LanguageCodes& codes, const platform::UserDefaults* defaults,
                              LocaleCanonicalizer canonicalize) {
  if (!defaults) return kFallbackLanguageIndex;
  const platform::Array* languages = defaults->arrayForKey("AppleLanguages");
  if (!languages) return kFallbackLanguageIndex;

  for (const platform::Value& element : *languages) {
    const std::string* language = element.asString();
    if (!language) continue;
    const std::string canonical = canonicalize(*language);
    bool found = false;
    int index = FindMessageIndex(canonical, found, codes);
    if (found) return index;
    // One cut only: a three-part identifier is tried whole and without its
    // last part, never reduced to its first part alone.
    auto dash = canonical.rfind('-');
    if (dash == std::string::npos) continue;
    index = FindMessageIndex(canonical.substr(0, dash), found, codes);
    if (found) return index;
  }
  return kFallbackLanguageIndex;
}

int GetFatalErrorMessageIndex(const LanguageCodes& codes, const platform::UserDefaults* defaults) {
  return GetFatalErrorMessageIndex(codes, defaults, &platform::canonicalLocaleIdentifierFromString);
}

int GetFatalErrorMessageIndex(const LanguageCodes& codes) {
  auto defaults = platform::UserDefaults::standardUserDefaults();
  return GetFatalErrorMessageIndex(codes, defaults.get());
}

std::string wchartoNSString(const wchar_t* text) {
  std::string out;
  if (!text) return out;
  for (const wchar_t* p = text; *p != 0; ++p) {
    auto cp = static_cast<std::uint32_t>(*p);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}
