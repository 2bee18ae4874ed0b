#include "LanguageChoice.h"

#include <gtest/gtest.h>

#include "platform/user_defaults.h"

namespace {

using platform::Array;
using platform::Dictionary;
using platform::UserDefaults;
using platform::Value;

const LanguageCodes kCodes = languageCodesOf(allMessages);

UserDefaults withLanguages(Array languages) {
  return UserDefaults(Dictionary{{"AppleLanguages", Value(std::move(languages))}});
}

std::string identity(const std::string& s) { return s; }

TEST(LanguageChoice, PreferenceListsGiveTheirRecord) {
  struct Case {
    const char* what;
    Array languages;
    int expected;
  };
  const Case cases[] = {
      {"fi matches nothing, then sv", {"fi", "sv"}, 14},
      {"fi alone falls back", {"fi"}, 16},
      {"de-CH cut to de", {"de-CH"}, 0},
      {"zh-Hans-CN tried whole, then as zh-Hans", {"zh-Hans-CN"}, 9},
      {"zh-Hant-TW", {"zh-Hant-TW"}, 10},
      {"zh matches nothing and the walk goes on", {"zh", "sv"}, 14},
      {"sr-Latn-RS and sr-Latn match nothing, the walk goes on", {"sr-Latn-RS", "pl"}, 13},
      {"the first match ends the walk", {"pt-BR", "de"}, 7},
      {"non-strings are skipped", {Value(42), Value(true), Value(Array{Value("de")}), Value("es")}, 2},
      {"an element made canonical first", {"ZH-hans-cn"}, 9},
      {"an underscore is read as a separator", {"en_US"}, 1},
      {"an empty list falls back", {}, 16},
      {"only non-strings fall back", {Value(1.5), Value(Dictionary{})}, 16},
      {"an empty string matches no record, not even the fallback's \"\"", {"", "it"}, 4},
      {"a three-part tag is cut once only", {"de-CH-1996"}, 16},
  };
  for (const auto& c : cases) {
    auto defaults = withLanguages(c.languages);
    EXPECT_EQ(GetFatalErrorMessageIndex(kCodes, &defaults), c.expected) << c.what;
    // The launcher's table has the same codes, so the same choice.
    EXPECT_EQ(GetFatalErrorMessageIndex(languageCodesOf(launcherMessages), &defaults), c.expected) << c.what;
  }
}

TEST(LanguageChoice, MissingOrMistypedPreferencesFallBack) {
  EXPECT_EQ(GetFatalErrorMessageIndex(kCodes, nullptr), 16);
  UserDefaults empty(Dictionary{});
  EXPECT_EQ(GetFatalErrorMessageIndex(kCodes, &empty), 16);
  UserDefaults notAnArray(Dictionary{{"AppleLanguages", Value("de")}});
  EXPECT_EQ(GetFatalErrorMessageIndex(kCodes, &notAnArray), 16);
  UserDefaults otherKey(Dictionary{{"AppleLocale", Value(Array{Value("de")})}});
  EXPECT_EQ(GetFatalErrorMessageIndex(kCodes, &otherKey), 16);
}

TEST(LanguageChoice, ComparesCanonicalFormsLiterally) {
  // With the canonical form taken as given, the walk's own rules show: case
  // matters, and a form joined by "_" has no "-" to cut.
  struct Case {
    const char* language;
    int expected;
  };
  const Case cases[] = {{"EN", 16}, {"zh-hans", 16}, {"en_US", 16}, {"zh-Hans", 9}, {"en-US", 1}};
  for (const auto& c : cases) {
    auto defaults = withLanguages({c.language});
    EXPECT_EQ(GetFatalErrorMessageIndex(kCodes, &defaults, &identity), c.expected) << c.language;
  }
}

TEST(LanguageChoice, NeverReducesToTheFirstPartAlone) {
  // A table that has "sr": sr-Latn-RS is tried whole and as sr-Latn, never
  // as sr.
  LanguageCodes codes = kCodes;
  codes[3] = "sr";
  auto defaults = withLanguages({"sr-Latn-RS"});
  EXPECT_EQ(GetFatalErrorMessageIndex(codes, &defaults), 16);
  auto twoParts = withLanguages({"sr-RS"});
  EXPECT_EQ(GetFatalErrorMessageIndex(codes, &twoParts), 3);
}

TEST(LanguageChoice, FromTheLocaleEnvironment) {
  struct Case {
    platform::Environment env;
    int expected;
  };
  const Case cases[] = {
      {{{"LANGUAGE", "fi:sv"}}, 14},
      {{{"LANG", "de_CH.UTF-8"}}, 0},
      {{{"LANG", "pt_BR.UTF-8"}}, 7},
      {{{"LANG", "zh_TW.UTF-8"}}, 10},
      {{{"LANG", "zh_CN.UTF-8"}}, 9},
      {{{"LANG", "zh_HK"}}, 10},
      {{{"LANGUAGE", "fi:es"}, {"LANG", "de_DE.UTF-8"}}, 2},
      {{{"LANGUAGE", "fi"}, {"LANG", "ru_RU.UTF-8"}}, 8},
      {{{"LANG", "C.UTF-8"}}, 16},
      {{}, 16},
  };
  for (const auto& c : cases) {
    auto defaults = UserDefaults::fromEnvironment(c.env);
    EXPECT_EQ(GetFatalErrorMessageIndex(kCodes, &defaults), c.expected)
        << (c.env.empty() ? "(empty)" : c.env.begin()->first + "=" + c.env.begin()->second);
  }
}

TEST(FindMessageIndex, ExactWholeStringMatchesOnly) {
  for (int i = 0; i < 16; ++i) {
    bool found = false;
    EXPECT_EQ(FindMessageIndex(allMessages[i].languageCode, found, kCodes), i);
    EXPECT_TRUE(found);
  }
  for (const char* miss : {"", "EN", "zh-hans", "zh", "de-", "d", "en-US", "pt-BR", " de"}) {
    bool found = true;
    EXPECT_EQ(FindMessageIndex(miss, found, kCodes), 16) << miss;
    EXPECT_FALSE(found) << miss;
  }
}

TEST(WcharToString, EncodesEveryCodePointAsUtf8) {
  const wchar_t invalid[] = {L'a', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000), L'b', 0};
  struct Case {
    const wchar_t* in;
    std::string out;
  };
  const Case cases[] = {
      {L"", ""},
      {L"Installing ", "Installing "},
      {L"Größe \u2019", "Gr\xC3\xB6\xC3\x9F" "e \xE2\x80\x99"},
      {L"\u4E2D\uFF1A", "\xE4\xB8\xAD\xEF\xBC\x9A"},
      {L"\U0001F600", "\xF0\x9F\x98\x80"},
      {L"\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF",
       "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {L"a\nb", "a\nb"},
      {invalid, "a\xEF\xBF\xBD\xEF\xBF\xBD" "b"},
      {nullptr, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(wchartoNSString(c.in), c.out);
}

}  // namespace
