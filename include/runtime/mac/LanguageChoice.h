// The choice of language and the text conversion that both programs compile
// from these same sources: the bootstrapper over allMessages, the launcher
// over launcherMessages. Qt-free; needs platform_core (user defaults, locale
// identifiers) only.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "embeddedmessages.h"

namespace platform {
class UserDefaults;
}

// The 16 language codes a choice compares, in record order (the fallback
// record is never compared). The pointers refer to the table's static data.
using LanguageCodes = std::array<const char*, kFallbackLanguageIndex>;

// The codes of a message table such as allMessages or launcherMessages.
template <typename Record, std::size_t N>
LanguageCodes languageCodesOf(const Record (&records)[N]) {
  static_assert(N == kLanguageRecordCount, "a message table has 17 records");
  LanguageCodes codes{};
  for (std::size_t i = 0; i < codes.size(); ++i) codes[i] = records[i].languageCode;
  return codes;
}

// Turns a preferred-language string into the form compared with the codes.
using LocaleCanonicalizer = std::string (*)(const std::string&);

// The index 0 to 15 of the first code that equals `candidate` exactly
// (case-sensitive, whole string; a prefix does not match), with `found` set
// to true; otherwise 16 with `found` false.
int FindMessageIndex(const std::string& candidate, bool& found, const LanguageCodes& codes);

// The language index 0 to 16 for `defaults` (null: none, giving 16). Walks
// the "AppleLanguages" array in order and ends at the first element that
// matches: an element that is not a string is skipped; a string is
// canonicalised with `canonicalize`, tried whole, then once cut before its
// last "-" (zh-Hans-CN gives zh-Hans, never zh). No array, an empty array or
// no match gives 16, the fallback. Nothing is cached.
int GetFatalErrorMessageIndex(const LanguageCodes& codes, const platform::UserDefaults* defaults,
                              LocaleCanonicalizer canonicalize);

// The same with the platform's canonical locale identifiers.
int GetFatalErrorMessageIndex(const LanguageCodes& codes, const platform::UserDefaults* defaults);

// The same for the standard user defaults of this process (built from its
// locale environment at the time of the call).
int GetFatalErrorMessageIndex(const LanguageCodes& codes);

// The text as UTF-8: each 32-bit unit before the terminating 0 is one code
// point. A unit that is no Unicode scalar value (a surrogate or above
// U+10FFFF) becomes U+FFFD, so the caller always gets a string to show.
// A null text gives "".
std::string wchartoNSString(const wchar_t* text);
