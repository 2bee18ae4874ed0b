// The catalogue's shape for every language: what the dialogs, the alert and
// the window title rely on, checked on the texts as the programs get them.
#include "embeddedmessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "LanguageChoice.h"
#include "VantorDeployment.h"

namespace {

const std::string kDownloadPage = VANTOR_RUNTIME_DOWNLOAD_PAGE;
const std::string kRequirementsPage = VANTOR_SYSTEM_REQUIREMENTS_PAGE;

std::string text(int record, int id) { return wchartoNSString(allMessages[record].messages[id]); }

int countOf(const std::string& s, const std::string& what) {
  int n = 0;
  for (auto p = s.find(what); p != std::string::npos; p = s.find(what, p + what.size())) ++n;
  return n;
}

int lineCount(const std::string& s) { return countOf(s, "\n") + 1; }

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Catalogue, RecordsInTheirFixedOrder) {
  struct Expected {
    const char* code;
    std::uintptr_t langid;
  };
  const Expected expected[kLanguageRecordCount] = {
      {"de", 0x407}, {"en", 0x409}, {"es", 0xc0a}, {"fr", 0x40c}, {"it", 0x410}, {"ja", 0x411},
      {"ko", 0x412}, {"pt", 0x416}, {"ru", 0x419}, {"zh-Hans", 0x804}, {"zh-Hant", 0x404},
      {"cs", 0x405}, {"nl", 0x413}, {"pl", 0x415}, {"sv", 0x41d}, {"tr", 0x41f}, {"", 0},
  };
  static_assert(sizeof(EmbeddedMessageRecord) == 13 * sizeof(void*), "13 pointer-sized fields");
  static_assert(sizeof(LauncherMessageRecord) == 4 * sizeof(void*), "4 pointer-sized fields");
  static_assert(sizeof(wchar_t) == 4, "texts are 32-bit units");
  for (int i = 0; i < kLanguageRecordCount; ++i) {
    EXPECT_STREQ(allMessages[i].languageCode, expected[i].code) << i;
    EXPECT_EQ(allMessages[i].windowsLanguageId, expected[i].langid) << i;
    EXPECT_STREQ(launcherMessages[i].languageCode, expected[i].code) << i;
    EXPECT_EQ(launcherMessages[i].windowsLanguageId, expected[i].langid) << i;
  }
}

TEST(Catalogue, EnglishTextsExactly) {
  const std::string expected[kMessageCount] = {
      "This application requires a version of Brenmoor Vantor which cannot be found.\n"
      "Please download the latest version of the runtime from\n" + kDownloadPage + ",\n"
      "or contact the application author for an updated version.",
      "Something went wrong trying to install this application.\n"
      "Please install the latest version of Brenmoor Vantor from\n" + kDownloadPage + " and then try again.",
      "OK",
      "Cancel",
      "Please wait.",
      "Unable to download Brenmoor Vantor. Make sure that you\u2019re connected to the network and try again.",
      "Unable to validate the downloaded version of Brenmoor Vantor.\n"
      "Please install the latest version of Brenmoor Vantor from\n" + kDownloadPage + ",\n"
      "then retry installing this application.",
      "Verifying download...",
      "This application requires an update to Brenmoor Vantor that is not available for your system. "
      "Please view the <a href='" + kRequirementsPage + "'>system requirements</a> for Brenmoor Vantor "
      "and update your system accordingly.",
      "Installing ",
      "This application requires an update to Brenmoor Vantor but downloading that update on your "
      "system is not allowed by your administrator. Please contact your administrator.",
  };
  for (int id = 0; id < kMessageCount; ++id) {
    EXPECT_EQ(text(1, id), expected[id]) << "message " << id;
    EXPECT_EQ(text(kFallbackLanguageIndex, id), expected[id]) << "fallback message " << id;
  }
  // The characters people get wrong: a typographic apostrophe, no ellipsis.
  EXPECT_NE(text(1, 5).find("\xE2\x80\x99"), std::string::npos);
  EXPECT_EQ(text(1, 5).find('\''), std::string::npos);
  EXPECT_EQ(text(1, 7).find("\xE2\x80\xA6"), std::string::npos);
}

TEST(Catalogue, EveryLanguageFollowsThePatternOfEachMessage) {
  // Message 9's separator between the prefix and the application name.
  auto separator = [](const std::string& code) -> std::string {
    if (code == "pt" || code == "sv" || code == "zh-Hant") return "  ";
    if (code == "nl") return "\u2026";
    if (code == "cs") return "\u2026 ";
    if (code == "ru") return "...";
    if (code == "ja") return "\uFF1A";
    return " ";
  };
  for (int r = 0; r < kLanguageRecordCount; ++r) {
    const std::string code = allMessages[r].languageCode;
    SCOPED_TRACE("record " + std::to_string(r) + " \"" + code + "\"");
    for (int id = 0; id < kMessageCount; ++id) {
      ASSERT_NE(allMessages[r].messages[id], nullptr) << id;
      const std::string t = text(r, id);
      EXPECT_FALSE(t.empty()) << id;
      EXPECT_FALSE(endsWith(t, "\n")) << id;
      EXPECT_EQ(countOf(t, "\n\n"), 0) << id;
      EXPECT_EQ(t.find('\r'), std::string::npos) << id;
    }

    // Messages 0, 1 and 6: the download page as plain text, lines by LF.
    for (int id : {0, 1, 6}) {
      const std::string t = text(r, id);
      EXPECT_EQ(countOf(t, kDownloadPage), 1) << id;
      EXPECT_EQ(t.find("<a"), std::string::npos) << id;
      EXPECT_NE(t.find("Brenmoor Vantor"), std::string::npos) << id;
    }
    EXPECT_EQ(lineCount(text(r, 0)), code == "ko" ? 3 : 4);
    EXPECT_EQ(lineCount(text(r, 1)), 3);
    EXPECT_EQ(lineCount(text(r, 6)), 4);

    // Message 8: one line with exactly one well-formed anchor to the
    // requirements page, with visible link text.
    const std::string m8 = text(r, 8);
    EXPECT_EQ(lineCount(m8), 1);
    EXPECT_EQ(countOf(m8, "<a href='"), 1);
    EXPECT_EQ(countOf(m8, "</a>"), 1);
    EXPECT_EQ(countOf(m8, "'>"), 1);
    const std::string open = "<a href='" + kRequirementsPage + "'>";
    const auto start = m8.find(open);
    ASSERT_NE(start, std::string::npos);
    const auto end = m8.find("</a>", start);
    ASSERT_NE(end, std::string::npos);
    const std::string linkText = m8.substr(start + open.size(), end - start - open.size());
    EXPECT_FALSE(linkText.empty());
    EXPECT_EQ(linkText.find('<'), std::string::npos);
    EXPECT_GT(start, 0u) << "text before the link";
    EXPECT_LT(end + 4, m8.size()) << "text after the link";
    EXPECT_GE(countOf(m8, "Brenmoor Vantor"), 1);

    // Message 9: a title prefix ending with its separator.
    const std::string m9 = text(r, 9);
    const std::string sep = separator(code);
    EXPECT_TRUE(endsWith(m9, sep)) << "\"" << m9 << "\"";
    EXPECT_GT(m9.size(), sep.size());
    // Exactly that separator: nothing more of blanks or stops before it.
    const std::string before = m9.substr(0, m9.size() - sep.size());
    EXPECT_FALSE(endsWith(before, " ")) << "\"" << m9 << "\"";
    EXPECT_FALSE(endsWith(before, ".")) << "\"" << m9 << "\"";
    EXPECT_FALSE(endsWith(before, "\u2026")) << "\"" << m9 << "\"";

    // The single-line messages carry no address.
    for (int id : {2, 3, 4, 5, 7, 9, 10}) {
      const std::string t = text(r, id);
      EXPECT_EQ(lineCount(t), 1) << id;
      EXPECT_EQ(t.find("://"), std::string::npos) << id;
      EXPECT_EQ(t.find("<a"), std::string::npos) << id;
    }
    for (int id : {5, 10}) EXPECT_NE(text(r, id).find("Brenmoor Vantor"), std::string::npos) << id;
    // No text starts or ends with a blank, except message 9's separator.
    for (int id = 0; id < kMessageCount; ++id) {
      if (id == 9) continue;
      const std::string t = text(r, id);
      EXPECT_NE(t.front(), ' ') << id;
      EXPECT_NE(t.back(), ' ') << id;
    }
  }
}

TEST(Catalogue, EveryLanguageIsReallyTranslated) {
  // Languages whose interfaces really write the OK button "OK".
  const std::set<std::string> usesOK = {"de", "fr", "it", "ja", "pt", "cs", "nl", "pl", "sv"};
  for (int r = 0; r < kFallbackLanguageIndex; ++r) {
    const std::string code = allMessages[r].languageCode;
    if (code == "en") continue;
    for (int id = 0; id < kMessageCount; ++id) {
      if (id == 2 && usesOK.count(code)) {
        EXPECT_EQ(text(r, id), "OK") << code;
        continue;
      }
      EXPECT_NE(text(r, id), text(1, id)) << code << " message " << id << " is the English text";
    }
    // And no two languages share a sentence (a pasted copy of a neighbour).
    for (int other = 0; other < r; ++other)
      for (int id : {0, 1, 5, 6, 8, 10})
        EXPECT_NE(text(r, id), text(other, id)) << code << " and " << allMessages[other].languageCode;
  }
  EXPECT_EQ(text(8, 2), "\u041E\u041A") << "Russian OK in Cyrillic letters";
}

TEST(Catalogue, LauncherTableHoldsTheCataloguesMessagesZeroAndTwo) {
  for (int r = 0; r < kLanguageRecordCount; ++r) {
    ASSERT_NE(launcherMessages[r].missingRuntimeMessage, nullptr);
    ASSERT_NE(launcherMessages[r].okText, nullptr);
    EXPECT_EQ(wchartoNSString(launcherMessages[r].missingRuntimeMessage), text(r, 0)) << r;
    EXPECT_EQ(wchartoNSString(launcherMessages[r].okText), text(r, 2)) << r;
  }
  const LanguageCodes launcher = languageCodesOf(launcherMessages), bootstrapper = languageCodesOf(allMessages);
  for (std::size_t i = 0; i < launcher.size(); ++i) EXPECT_STREQ(launcher[i], bootstrapper[i]) << i;
}

}  // namespace
