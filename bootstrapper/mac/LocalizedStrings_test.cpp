// getEmbeddedMessage fixes the language on the first call of a process, so
// every case runs in a fresh child process (a death-test fork) with its own
// locale environment; this parent process never calls it.
#include "LocalizedStrings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <sstream>

#include "LanguageChoice.h"
#include "embeddedmessages.h"

namespace {

std::string catalogue(int record, int id) { return wchartoNSString(allMessages[record].messages[id]); }

void setLocaleEnvironment(const char* language, const char* lang) {
  for (const char* v : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(v);
  if (language) setenv("LANGUAGE", language, 1);
  if (lang) setenv("LANG", lang, 1);
}

// Runs `body` in a child process; the child reports mismatches on standard
// error and exits 1 when there were any.
void inFreshProcess(const std::function<void(std::ostream&)>& body) {
  EXPECT_EXIT(
      {
        std::ostringstream problems;
        body(problems);
        std::cerr << problems.str();
        std::_Exit(problems.str().empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

#define CHECK_EQ_IN_CHILD(out, a, b) \
  if (!((a) == (b))) (out) << __LINE__ << ": " #a " != " #b "\n"

TEST(LocalizedStrings, FirstRequestChoosesTheLanguageForTheProcess) {
  inFreshProcess([](std::ostream& out) {
    setLocaleEnvironment("fi:sv", nullptr);
    CHECK_EQ_IN_CHILD(out, embeddedStringLocaleIndex(), -1);
    CHECK_EQ_IN_CHILD(out, LocalizedStrings::getEmbeddedMessage(9), std::optional<std::string>("Installerar  "));
    CHECK_EQ_IN_CHILD(out, embeddedStringLocaleIndex(), 14);
    // The preferences change; the process keeps its language, although a
    // new choice would now give German.
    setLocaleEnvironment("de", nullptr);
    CHECK_EQ_IN_CHILD(out, GetFatalErrorMessageIndex(languageCodesOf(allMessages)), 0);
    CHECK_EQ_IN_CHILD(out, LocalizedStrings::getEmbeddedMessage(3), std::optional<std::string>("Avbryt"));
    CHECK_EQ_IN_CHILD(out, embeddedStringLocaleIndex(), 14);
  });
}

TEST(LocalizedStrings, AnInvalidFirstRequestStillFixesTheLanguage) {
  for (int invalid : {11, -1}) {
    inFreshProcess([invalid](std::ostream& out) {
      setLocaleEnvironment(nullptr, "pt_BR.UTF-8");
      CHECK_EQ_IN_CHILD(out, LocalizedStrings::getEmbeddedMessage(invalid), std::nullopt);
      CHECK_EQ_IN_CHILD(out, embeddedStringLocaleIndex(), 7);
      setLocaleEnvironment(nullptr, "ru_RU.UTF-8");
      CHECK_EQ_IN_CHILD(out, LocalizedStrings::getEmbeddedMessage(4), std::optional<std::string>("Aguarde."));
    });
  }
}

TEST(LocalizedStrings, EnvironmentsGiveTheirLanguage) {
  struct Case {
    const char* language;
    const char* lang;
    int record;
  };
  const Case cases[] = {
      {"fi:sv", nullptr, 14},       {nullptr, "de_CH.UTF-8", 0}, {nullptr, "pt_BR.UTF-8", 7},
      {nullptr, "zh_TW.UTF-8", 10}, {nullptr, "zh_CN.UTF-8", 9}, {"fi", nullptr, 16},
      {nullptr, nullptr, 16},       {nullptr, "C", 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.language ? c.language : "-") + " / " + (c.lang ? c.lang : "-"));
    inFreshProcess([&c](std::ostream& out) {
      setLocaleEnvironment(c.language, c.lang);
      for (int id = 0; id < kMessageCount; ++id)
        CHECK_EQ_IN_CHILD(out, LocalizedStrings::getEmbeddedMessage(id), std::optional<std::string>(catalogue(c.record, id)));
      CHECK_EQ_IN_CHILD(out, embeddedStringLocaleIndex(), c.record);
    });
  }
}

TEST(LocalizedStrings, FallbackIsEnglishAndTheTitlePrefixKeepsItsBlank) {
  inFreshProcess([](std::ostream& out) {
    setLocaleEnvironment("fi", nullptr);
    CHECK_EQ_IN_CHILD(out, LocalizedStrings::getEmbeddedMessage(9).value() + "Sample", std::string("Installing Sample"));
    CHECK_EQ_IN_CHILD(out, LocalizedStrings::getEmbeddedMessage(2), std::optional<std::string>("OK"));
    CHECK_EQ_IN_CHILD(out, LocalizedStrings::getEmbeddedMessage(7), std::optional<std::string>("Verifying download..."));
  });
}

TEST(LocalizedStrings, OnlyIdentifiersZeroToTenHaveTexts) {
  inFreshProcess([](std::ostream& out) {
    setLocaleEnvironment(nullptr, "es_ES.UTF-8");
    for (int id : {11, 12, -1, -11, INT_MIN, INT_MAX})
      CHECK_EQ_IN_CHILD(out, LocalizedStrings::getEmbeddedMessage(id), std::nullopt);
    for (int id = 0; id <= 10; ++id)
      if (!LocalizedStrings::getEmbeddedMessage(id)) out << "no text for " << id << "\n";
    CHECK_EQ_IN_CHILD(out, LocalizedStrings::getEmbeddedMessage(2), std::optional<std::string>("Aceptar"));
  });
}

}  // namespace
