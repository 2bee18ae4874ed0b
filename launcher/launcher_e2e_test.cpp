// The launcher end to end: the real launcher as the main executable of an
// installed app bundle (/Applications/Sample.app/Contents/MacOS/Sample, with
// its alert part beside it) in the emulated Mac, against real runtime
// executables placed in the Library folders. Without a display the alert is
// the console stand-in's text on standard error.
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EmulatedMac.h"
#include "FixtureTree.h"
#include "embeddedmessages.h"
#include "launcher_test_support.h"

namespace {

using harness::EmulatedMac;
using harness::FrameworkOptions;
using launchertest::alertText;
using launchertest::variant;

constexpr const char* kApp = "/Applications/Sample.app/Contents/MacOS/Sample";
constexpr const char* kLibraryVersionFolder = "/Library/Frameworks/Brenmoor Vantor.framework/Versions/1.0";

class LauncherEndToEnd : public ::testing::Test {
 public:  // the cases below arrange through these
  void SetUp() override {
    if (auto reason = EmulatedMac::unavailableReason()) GTEST_SKIP() << "emulated Mac not available: " << *reason;
    mac_ = std::make_unique<EmulatedMac>();
    app_ = launchertest::installSampleApp(mac_->applications());
  }

  // Places a framework whose executable is `executable` (a host file) in the
  // Library folder `library` (a host path).
  void frameworkWith(const std::string& library, const std::string& executable) {
    FrameworkOptions options;
    options.runtimeExecutable = executable;
    harness::installFramework(library, "3.1.0.488", options);
  }

  harness::RunResult launch(std::vector<std::string> args = {}, harness::RunOptions options = {}) {
    args.insert(args.begin(), kApp);
    return mac_->run(args, options);
  }

  std::unique_ptr<EmulatedMac> mac_;
  std::string app_;
};

// ---- Every way the hand-over can fail ends in the alert and status 4 ---------

TEST_F(LauncherEndToEnd, EveryFailureShowsTheAlertInTheChosenLanguageAndExitsWith4) {
  struct Case {
    const char* what;
    void (*arrange)(LauncherEndToEnd&);
  };
  const Case cases[] = {
      {"no framework in any Library folder", [](LauncherEndToEnd&) {}},
      {"a framework only in the user's Library",
       [](LauncherEndToEnd& t) { t.frameworkWith(t.mac_->home() + "/Library", variant("exit0")); }},
      {"a /Library framework without its executable hides a complete one in /System/Library",
       [](LauncherEndToEnd& t) {
         harness::installFramework(t.mac_->library());
         t.frameworkWith(t.mac_->systemLibrary(), variant("exit0"));
       }},
      {"an executable that is not a loadable library",
       [](LauncherEndToEnd& t) { t.frameworkWith(t.mac_->library(), launchertest::notALibrary()); }},
      {"no class EntryPoints",
       [](LauncherEndToEnd& t) { t.frameworkWith(t.mac_->library(), variant("noClass")); }},
      {"init gives no object",
       [](LauncherEndToEnd& t) { t.frameworkWith(t.mac_->library(), variant("initNone")); }},
      {"the entry object does not answer the selector",
       [](LauncherEndToEnd& t) { t.frameworkWith(t.mac_->library(), variant("noSelector")); }},
      {"the entry method raises the platform exception",
       [](LauncherEndToEnd& t) { t.frameworkWith(t.mac_->library(), variant("raise")); }},
  };
  // fi has no record and no "-": the walk goes on to es.
  harness::RunOptions spanish;
  spanish.env["LANGUAGE"] = "fi:es";
  const std::string expected = alertText(2);
  ASSERT_NE(expected, alertText(1)) << "the Spanish record must differ from the English one";

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    harness::removeFramework(mac_->library());
    harness::removeFramework(mac_->systemLibrary());
    harness::removeFramework(mac_->home() + "/Library");
    c.arrange(*this);
    const harness::RunResult r = launch({}, spanish);
    EXPECT_EQ(r.exitCode, 4) << r.describe();
    EXPECT_EQ(r.err, expected) << r.describe();
    // The runtime may have printed before raising; the launcher itself
    // prints nothing on standard output.
    if (std::string(c.what).find("raises") == std::string::npos) {
      EXPECT_EQ(r.out, "");
    }
  }
}

TEST_F(LauncherEndToEnd, WithoutItsAlertPartTheLauncherWritesTheSameAlertItself) {
  // Default language (no locale variables): English.
  ASSERT_EQ(unlink((app_ + "/Contents/MacOS/" + launchertest::alertLibraryName()).c_str()), 0);
  const harness::RunResult r = launch();
  EXPECT_EQ(r.exitCode, 4) << r.describe();
  EXPECT_EQ(r.err, alertText(16)) << r.describe();
  EXPECT_EQ(r.out, "");
}

TEST_F(LauncherEndToEnd, TheLanguageFollowsThePreferences) {
  struct Case {
    std::map<std::string, std::string> env;
    int record;
  };
  const Case cases[] = {
      {{}, 16},
      {{{"LANGUAGE", "fi"}}, 16},
      {{{"LANG", "pt_BR.UTF-8"}}, 7},  // pt-BR, cut to pt
      {{{"LANG", "de_CH.UTF-8"}}, 0},
      {{{"LC_ALL", "zh_TW.UTF-8"}}, 10},  // zh-Hant-TW, cut to zh-Hant
      {{{"LANGUAGE", "fi:sv"}, {"LANG", "de_DE.UTF-8"}}, 14},
  };
  for (const Case& c : cases) {
    harness::RunOptions options;
    options.env = c.env;
    const harness::RunResult r = launch({}, options);
    SCOPED_TRACE("record " + std::to_string(c.record));
    EXPECT_EQ(r.exitCode, 4) << r.describe();
    EXPECT_EQ(r.err, alertText(c.record)) << r.describe();
  }
}

// ---- Hand-over --------------------------------------------------------------------

TEST_F(LauncherEndToEnd, TheEntryMethodsResultIsTheExitStatus) {
  struct Case {
    const char* variant;
    int status;
    const char* out;
  };
  const std::string folderLine = std::string("runtime folder: ") + kLibraryVersionFolder + "\n";
  const Case cases[] = {
      {"exit0", 0, ""},
      {"exit7", 7, folderLine.c_str()},
      {"exitHigh", 3, folderLine.c_str()},  // 0x100000003: the low 32 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    frameworkWith(mac_->library(), variant(c.variant));
    const harness::RunResult r = launch();
    EXPECT_EQ(r.exitCode, c.status) << r.describe();
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "") << "no alert and no other output";
  }
}

TEST_F(LauncherEndToEnd, TheSampleRuntimeRunsItsApplicationWithTheVersionFolder) {
  frameworkWith(mac_->networkLibrary(), launchertest::sampleRuntime());
  const harness::RunResult r = launch();
  EXPECT_EQ(r.exitCode, 0) << r.describe();
  EXPECT_EQ(r.out,
            "Sample application running on the Brenmoor Vantor runtime in "
            "/Network/Library/Frameworks/Brenmoor Vantor.framework/Versions/1.0\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(LauncherEndToEnd, OnlyThePlatformExceptionIsCaught) {
  frameworkWith(mac_->library(), variant("raiseOther"));
  const harness::RunResult r = launch();
  EXPECT_EQ(r.signal, SIGABRT) << r.describe();
  EXPECT_EQ(r.err.find(alertText(16)), std::string::npos) << "no alert for a foreign exception";
}

TEST_F(LauncherEndToEnd, ArgumentsAndFrameworksInOrBesideTheBundleChangeNothing) {
  // Runtimes the launcher must not use: in the bundle's own Frameworks folder
  // and beside the bundle, both of which would exit with 7.
  frameworkWith(app_ + "/Contents", variant("exit7"));
  harness::copyPath(app_ + "/Contents/Frameworks/Brenmoor Vantor.framework",
                    mac_->applications() + "/Brenmoor Vantor.framework");
  const std::vector<std::string> args = {
      "-psn_0_12345", "/Applications/Sample.app/Contents/Frameworks/Brenmoor Vantor.framework",
      "--framework", "/Applications"};

  harness::RunResult r = launch(args);
  EXPECT_EQ(r.exitCode, 4) << r.describe();
  EXPECT_EQ(r.err, alertText(16));

  frameworkWith(mac_->library(), variant("exit0"));
  r = launch(args);
  EXPECT_EQ(r.exitCode, 0) << r.describe();
  EXPECT_EQ(r.out, "");
}

// ---- What the launcher is made of ------------------------------------------------

TEST(LauncherProgram, LinksNoToolkitAndNoSharedCppLibrary) {
  // The launcher runs before every start of every application: its success
  // path must not pay for loading Qt or libstdc++.
  const std::vector<std::string> needed = launchertest::neededLibraries(launchertest::launcherPath());
  ASSERT_FALSE(needed.empty());
  for (const std::string& lib : needed) {
    EXPECT_EQ(lib.find("Qt"), std::string::npos) << lib;
    EXPECT_EQ(lib.find("stdc++"), std::string::npos) << lib;
    EXPECT_EQ(lib.find("plist"), std::string::npos) << lib;
  }
}

}  // namespace
