#include "platform/user_defaults.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using platform::Environment;
using Languages = std::vector<std::string>;

TEST(PreferredLanguages, FromTheLocaleEnvironment) {
  struct Case {
    const char* what;
    Environment env;
    Languages expected;
  };
  const Case cases[] = {
      {"nothing set", {}, {}},
      {"LANGUAGE list first, then LANG", {{"LANGUAGE", "fi:sv"}, {"LANG", "de_CH.UTF-8"}}, {"fi", "sv", "de-CH"}},
      {"charset and modifier dropped", {{"LANG", "de_CH.UTF-8@euro"}}, {"de-CH"}},
      {"LC_ALL wins over LC_MESSAGES and LANG",
       {{"LC_ALL", "fr_FR.UTF-8"}, {"LC_MESSAGES", "it_IT"}, {"LANG", "es_ES"}}, {"fr-FR"}},
      {"LC_MESSAGES wins over LANG", {{"LC_MESSAGES", "it_IT"}, {"LANG", "es_ES"}}, {"it-IT"}},
      {"an empty LC_ALL counts as unset", {{"LC_ALL", ""}, {"LANG", "pt_BR.UTF-8"}}, {"pt-BR"}},
      {"C and POSIX skipped", {{"LANGUAGE", "C:POSIX:C.UTF-8"}, {"LANG", "C.UTF-8"}}, {}},
      {"C in LC_ALL still decides (no fall-through to LANG)", {{"LC_ALL", "C"}, {"LANG", "de_DE"}}, {}},
      {"empty list entries skipped", {{"LANGUAGE", "fi::sv:"}}, {"fi", "sv"}},
      {"simplified Chinese regions", {{"LANGUAGE", "zh_CN:zh_SG"}}, {"zh-Hans-CN", "zh-Hans-SG"}},
      {"traditional Chinese regions", {{"LANGUAGE", "zh_TW:zh_HK:zh_MO.UTF-8"}},
       {"zh-Hant-TW", "zh-Hant-HK", "zh-Hant-MO"}},
      {"Chinese without a region stays zh", {{"LANG", "zh"}}, {"zh"}},
      {"Chinese of another region keeps it", {{"LANG", "zh_MY"}}, {"zh-MY"}},
      {"a repeated language is listed once", {{"LANGUAGE", "de:de"}, {"LANG", "de"}}, {"de"}},
      {"plain codes kept as given", {{"LANGUAGE", "sv:EN"}}, {"sv", "EN"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(platform::preferredLanguagesFromEnvironment(c.env), c.expected) << c.what;
}

TEST(UserDefaults, AppleLanguagesIsAnArrayOfStringsOrAbsent) {
  auto defaults = platform::UserDefaults::fromEnvironment({{"LANGUAGE", "fi:sv"}});
  const platform::Array* languages = defaults.arrayForKey("AppleLanguages");
  ASSERT_NE(languages, nullptr);
  ASSERT_EQ(languages->size(), 2u);
  EXPECT_EQ(*(*languages)[0].asString(), "fi");
  EXPECT_EQ(*(*languages)[1].asString(), "sv");

  // No value at all, rather than an empty array, when nothing is set.
  auto none = platform::UserDefaults::fromEnvironment({{"LANG", "C"}});
  EXPECT_EQ(none.objectForKey("AppleLanguages"), nullptr);
  EXPECT_EQ(none.arrayForKey("AppleLanguages"), nullptr);
}

TEST(UserDefaults, ArrayForKeyRejectsOtherKinds) {
  platform::UserDefaults defaults(platform::Dictionary{{"AppleLanguages", platform::Value("de")}});
  EXPECT_NE(defaults.objectForKey("AppleLanguages"), nullptr);
  EXPECT_EQ(defaults.arrayForKey("AppleLanguages"), nullptr);
  EXPECT_EQ(defaults.arrayForKey("Missing"), nullptr);
}

TEST(UserDefaults, StandardDefaultsFollowTheProcessEnvironment) {
  for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(v);
  setenv("LANGUAGE", "nl:pl", 1);
  auto first = platform::UserDefaults::standardUserDefaults();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(first->arrayForKey("AppleLanguages"), nullptr);
  EXPECT_EQ(*first->arrayForKey("AppleLanguages")->at(0).asString(), "nl");

  // Each call reads the environment anew.
  setenv("LANGUAGE", "tr", 1);
  auto second = platform::UserDefaults::standardUserDefaults();
  EXPECT_EQ(*second->arrayForKey("AppleLanguages")->at(0).asString(), "tr");
  unsetenv("LANGUAGE");
  EXPECT_EQ(platform::UserDefaults::standardUserDefaults()->arrayForKey("AppleLanguages"), nullptr);
}

}  // namespace
