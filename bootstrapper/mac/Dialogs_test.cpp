// The bootstrapper's failure messages as a user gets them, shown by a real
// program in a child process: without a display through the console
// stand-in (exact standard error, nothing on standard output), and on a real
// X server (Xvfb) where OK is pressed with a real key event.
#include "Dialogs.h"

#include <gtest/gtest.h>

#include <memory>

#include "LanguageChoice.h"
#include "VantorDeployment.h"
#include "embeddedmessages.h"
#include "testdata/child_process.h"

namespace {

using testsupport::environmentWith;
using testsupport::runChild;

std::string catalogue(int record, int id) { return wchartoNSString(allMessages[record].messages[id]); }

const std::vector<std::string> kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LANGUAGE",
                                             "LC_ALL", "LC_MESSAGES", "LANG"};

testsupport::ChildOutput probe(const std::string& kind, int id, std::map<std::string, std::string> env) {
  return runChild({DIALOGS_PROBE, kind, "Install Sample", std::to_string(id)}, environmentWith(env, kNoDisplay));
}

TEST(ConsoleStandIn, AlertInTheUsersLanguage) {
  auto r = probe("alert", 0, {{"LANGUAGE", "fi:es"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Install Sample\n" + catalogue(2, 0) + "\n[Aceptar]\n");
  EXPECT_EQ(r.out, "");
}

TEST(ConsoleStandIn, DialogWritesLinksWithTheirAddress) {
  auto r = probe("dialog", 8, {{"LANG", "en_US.UTF-8"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "Install Sample\n"
            "This application requires an update to Brenmoor Vantor that is not available for your system. "
            "Please view the system requirements <" VANTOR_SYSTEM_REQUIREMENTS_PAGE "> for Brenmoor Vantor "
            "and update your system accordingly.\n"
            "[OK]\n");
  EXPECT_EQ(r.out, "");

  auto de = probe("dialog", 10, {{"LANG", "de_DE.UTF-8"}});
  EXPECT_EQ(de.status, 0);
  EXPECT_EQ(de.err, "Install Sample\n" + catalogue(0, 10) + "\n[OK]\n");
  EXPECT_EQ(de.out, "");
}

TEST(ConsoleStandIn, AlertShowsMarkupUnchanged) {
  auto r = probe("alert", 8, {{"LANGUAGE", "fr"}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Install Sample\n" + catalogue(3, 8) + "\n[OK]\n");
  EXPECT_NE(r.err.find("<a href='" VANTOR_SYSTEM_REQUIREMENTS_PAGE "'>"), std::string::npos);
}

TEST(ConsoleStandIn, DialogTextOfMessages) {
  EXPECT_EQ(dialogs::consoleTextOfDialogMessage("a <a href='u'>b</a> c"), "a b <u> c");
  EXPECT_EQ(dialogs::consoleTextOfDialogMessage("<a href='u'></a>"), "<u>");
  EXPECT_EQ(dialogs::consoleTextOfDialogMessage("no <a href='u'>link"), "no <a href='u'>link");
  EXPECT_EQ(dialogs::consoleTextOfDialogMessage(""), "");
}

class OnXvfb : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<testsupport::XvfbServer>(); }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    if (server_->display().empty()) GTEST_SKIP() << "Xvfb could not be started";
  }
  const std::string& display() const { return server_->display(); }

  // Waits for the visible window titled exactly `title`; its id or "".
  std::string windowTitled(const std::string& title) {
    return testsupport::onDisplay(display(), "timeout 20 xdotool search --sync --onlyvisible --name '^" + title + "$' | head -n1");
  }

  static std::unique_ptr<testsupport::XvfbServer> server_;
};
std::unique_ptr<testsupport::XvfbServer> OnXvfb::server_;

TEST_F(OnXvfb, ReturnPressesOKAndEndsTheModalLoopWithOne) {
  testsupport::BackgroundChild child({DIALOGS_PROBE, "modal", "Install Sample", "8"},
                                     environmentWith({{"DISPLAY", display()}, {"LANGUAGE", "sv"}}, kNoDisplay));
  ASSERT_TRUE(child.started());
  const std::string window = windowTitled("Install Sample");
  ASSERT_FALSE(window.empty()) << "no dialog window appeared";
  // The dialog is still up: nothing ends it but OK.
  EXPECT_EQ(child.waitFor(std::chrono::milliseconds(300)), -1);
  testsupport::onDisplay(display(), "xdotool windowfocus --sync " + window + " key Return");
  EXPECT_EQ(child.waitFor(std::chrono::seconds(20)), 1);
}

TEST_F(OnXvfb, ShowDialogAndOkAlertReturnOnceOKIsPressed) {
  for (const char* kind : {"dialog", "alert"}) {
    SCOPED_TRACE(kind);
    testsupport::BackgroundChild child({DIALOGS_PROBE, kind, "Install Sample", "6"},
                                       environmentWith({{"DISPLAY", display()}, {"LANG", "ja_JP.UTF-8"}}, kNoDisplay));
    ASSERT_TRUE(child.started());
    const std::string window = windowTitled("Install Sample");
    ASSERT_FALSE(window.empty()) << "no window appeared";
    EXPECT_EQ(testsupport::onDisplay(display(), "xdotool getwindowname " + window), "Install Sample");
    EXPECT_EQ(child.waitFor(std::chrono::milliseconds(300)), -1);
    testsupport::onDisplay(display(), "xdotool windowfocus --sync " + window + " key Return");
    EXPECT_EQ(child.waitFor(std::chrono::seconds(20)), 0);
  }
}

}  // namespace
