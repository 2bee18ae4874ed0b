// The installation services at work in the emulated Mac: the runtime search
// over the real /Library, /Network/Library and /System/Library folders, the
// version read from a real Info.plist, and the installation log as the
// records that arrive on /dev/log.
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <syslog.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EmulatedMac.h"
#include "FixtureTree.h"

using harness::EmulatedMac;
using harness::FrameworkOptions;
using harness::RunResult;

namespace {

const std::string kLocal = "/Library/Frameworks/Brenmoor Vantor.framework";
const std::string kNetwork = "/Network/Library/Frameworks/Brenmoor Vantor.framework";
const std::string kSystem = "/System/Library/Frameworks/Brenmoor Vantor.framework";
// What "version" prints when the read failed: the result and the record as
// the probe filled it before the call.
const std::string kUntouched = "-3 -7.-7.-7.-7\n";

class InstallServicesTest : public ::testing::Test {
 protected:
  void SetUp() override { VANTOR_REQUIRE_EMULATED_MAC(); }

  std::string probe(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {harness::probePath()};
    argv.insert(argv.end(), args.begin(), args.end());
    const RunResult r = mac.run(argv);
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    return r.out;
  }
  std::string location() { return probe({"location"}); }
  std::string version() { return probe({"version"}); }

  EmulatedMac mac;
};

// ---- runtime discovery -------------------------------------------------------

TEST_F(InstallServicesTest, DomainsAreSearchedLocalThenNetworkThenSystem) {
  EXPECT_EQ(location(), "none\n");
  EXPECT_EQ(version(), kUntouched);

  harness::installFramework(mac.systemLibrary(), "3.0.0.1");
  EXPECT_EQ(location(), kSystem + "\n");
  EXPECT_EQ(version(), "0 3.0.0.1\n");

  harness::installFramework(mac.networkLibrary(), "3.0.0.2");
  EXPECT_EQ(location(), kNetwork + "\n");
  EXPECT_EQ(version(), "0 3.0.0.2\n");

  harness::installFramework(mac.library(), "3.1.0.488");
  EXPECT_EQ(location(), kLocal + "\n");
  EXPECT_EQ(version(), "0 3.1.0.488\n");

  // Nothing is cached: each call looks at the disk again.
  harness::removeFramework(mac.library());
  EXPECT_EQ(location(), kNetwork + "\n");
  harness::removeFramework(mac.networkLibrary());
  EXPECT_EQ(version(), "0 3.0.0.1\n");
}

TEST_F(InstallServicesTest, TheUsersOwnLibraryIsNotSearched) {
  harness::installFramework(mac.home() + "/Library", "3.1.0.488");
  EXPECT_EQ(location(), "none\n");
  EXPECT_EQ(version(), kUntouched);
}

TEST_F(InstallServicesTest, AnythingAtTheFrameworkPathEndsTheSearch) {
  // A sound framework in the system domain is hidden by each of these in
  // /Library: the location is the /Library one and its version read fails.
  harness::installFramework(mac.systemLibrary(), "3.1.0.488");
  struct Case {
    const char* what;
    FrameworkOptions options;
    std::string bundleVersion;
  };
  FrameworkOptions plainFile, noPlist, noKey;
  plainFile.plainFile = true;
  noPlist.infoPlist = false;
  noKey.bundleVersionKey = false;
  const std::vector<Case> cases = {
      {"a plain file", plainFile, "3.1.0.488"},
      {"no Info.plist", noPlist, "3.1.0.488"},
      {"no CFBundleVersion", noKey, "3.1.0.488"},
      {"three parts", {}, "3.1.0"},
      {"two parts", {}, "3.1"},
      {"a letter for the minor", {}, "3.x.0.488"},
      {"empty", {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    harness::installFramework(mac.library(), c.bundleVersion, c.options);
    EXPECT_EQ(location(), kLocal + "\n");
    EXPECT_EQ(version(), kUntouched);
  }
}

TEST_F(InstallServicesTest, VersionTextsReadFromARealInfoPlist) {
  struct Case {
    std::string bundleVersion;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"3.1.0.488", "0 3.1.0.488\n"},
      {"3.1.0.488.7", "0 3.1.0.488\n"},
      {"3.1.0.488 beta", "0 3.1.0.488\n"},
      {" 3 . 1 .0. 488", "0 3.1.0.488\n"},
      {"1.2.3.4", "0 1.2.3.4\n"},
      {"-2.+5.0.99999999999", "0 -2.5.0.2147483647\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bundleVersion);
    harness::installFramework(mac.library(), c.bundleVersion);
    EXPECT_EQ(version(), c.expected);
  }
  // Both framework layouts are bundles.
  FrameworkOptions flat;
  flat.layout = FrameworkOptions::Layout::Flat;
  harness::installFramework(mac.library(), "4.0.0.1", flat);
  EXPECT_EQ(version(), "0 4.0.0.1\n");
  EXPECT_EQ(probe({"fileVersion", kLocal}), "0 4.0.0.1\n");
  EXPECT_EQ(probe({"fileVersion", "/Library/Frameworks"}), kUntouched);
}

TEST_F(InstallServicesTest, ALinkCountsWhenItsTargetExists) {
  // Absolute links name emulated paths, so only inside do they resolve.
  harness::installFramework(mac.systemLibrary(), "3.2.0.5");
  std::filesystem::create_symlink(kSystem, mac.library() + "/Frameworks/Brenmoor Vantor.framework");
  EXPECT_EQ(location(), kLocal + "\n");
  EXPECT_EQ(version(), "0 3.2.0.5\n");

  // A dangling link is nothing: the search goes on to the next domain.
  harness::installFramework(mac.networkLibrary(), "3.3.0.6");
  harness::removeFramework(mac.systemLibrary());
  EXPECT_EQ(location(), kNetwork + "\n");
  EXPECT_EQ(version(), "0 3.3.0.6\n");
}

// ---- the installation log ----------------------------------------------------

// A record as glibc's syslog writes it with no openlog: "<PRI>" (user
// facility), the local time, the program name, no pid.
void expectRecord(const harness::SyslogRecord& r, int priority, const std::string& identity,
                  const std::string& message) {
  EXPECT_EQ(r.priority, priority) << r.raw;
  EXPECT_EQ(r.facility, LOG_USER) << r.raw;
  EXPECT_EQ(r.identity, identity) << r.raw;
  EXPECT_EQ(r.pid, -1) << r.raw;
  EXPECT_EQ(r.message, message) << r.raw;
  static const std::regex stamp("[A-Z][a-z]{2} [ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9]");
  EXPECT_TRUE(std::regex_match(r.timestamp, stamp)) << r.raw;
  const std::string expectedRaw = "<" + std::to_string(LOG_USER | priority) + ">" + r.timestamp +
                                  " " + identity + ": " + message;
  EXPECT_EQ(r.raw, expectedRaw);
}

TEST_F(InstallServicesTest, EveryEventWritesOneRecordWithItsTextAndPriority) {
  struct Case {
    std::vector<std::string> call;
    int priority;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"logApplicationBegin", "Bootstrapper", "32.0.0.89", "Mac", "x86"}, LOG_NOTICE,
       "Bootstrapper begin with version 32.0.0.89 on Mac x86"},
      {{"logApplicationEnd", "true", "Bootstrapper", "0"}, LOG_NOTICE,
       "Bootstrapper end with exit code 0"},
      {{"logApplicationEnd", "false", "Bootstrapper", "11"}, LOG_ERR,
       "Bootstrapper end with exit code 11"},
      {{"logRuntimeInstalled", "3", "1", "0", "488", kLocal}, LOG_NOTICE,
       "Installed runtime (3.1.0.488) located at " + kLocal},
      {{"logRuntimeNotInstalled"}, LOG_NOTICE, "No installed runtime detected"},
      {{"logImmediateUpdateDisabled"}, LOG_ERR,
       "Cannot complete installation because runtime updates are disabled on this machine"},
      {{"logSubprocessBegin", "\"Vantor Runtime Installer\" -silent /Apps/My App/x "}, LOG_NOTICE,
       "Launching subprocess with commandline \"Vantor Runtime Installer\" -silent /Apps/My App/x "},
      {{"logSubprocessSuccess", "Application Installer"}, LOG_NOTICE,
       "Subprocess Application Installer succeeded"},
      {{"logSubprocessFailure", "Runtime Installer", "-3"}, LOG_ERR,
       "Subprocess Runtime Installer failed (-3)"},
      {{"logDownloadBegin", "runtime", "https://download.vantor.test:8443/vantor/3/nai/installer"},
       LOG_NOTICE, "Begin runtime download from https://download.vantor.test:8443/vantor/3/nai/installer"},
      {{"logDownloadDest", "/tmp/vantor-0/installer-1"}, LOG_NOTICE,
       "Download destination is /tmp/vantor-0/installer-1"},
      {{"logDownloadSuccess"}, LOG_NOTICE, "Download success"},
      {{"logDownloadFailure", "server said 50%d %s %n"}, LOG_ERR,
       "Download failure: server said 50%d %s %n"},
      {{"logDownloadCancel"}, LOG_NOTICE, "Download cancelled"},
      {{"logSigValid", "Detached"}, LOG_NOTICE, "Detached signature verified"},
      {{"logSigInvalid", "Detached"}, LOG_ERR, "Detached signature validation failed"},
      {{"logCouldNotLocateAppDir", "/Applications/Install X.app/Contents/Resources/x"}, LOG_ERR,
       "Could not locate native install directory (\"/Applications/Install X.app/Contents/"
       "Resources/x\")"},
      {{"logMissingAllowDownloadFlag"}, LOG_ERR,
       "Unable to download runtime installer without -allowDownload"},
      {{"logCertChainBegin"}, LOG_NOTICE, "Begin cert chain validation"},
      {{"logCertRevocationFound"}, LOG_NOTICE, "Cert revocation found"},
      {{"logCertChainSuccess"}, LOG_NOTICE, "Cert chain validation succeeded"},
      {{"logCertChainFailure"}, LOG_ERR, "Cert chain validation failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call[0]);
    mac.clearSyslog();
    std::vector<std::string> args = {"log"};
    args.insert(args.end(), c.call.begin(), c.call.end());
    EXPECT_EQ(probe(args), "");
    const auto records = mac.syslog();
    ASSERT_EQ(records.size(), 1u);
    expectRecord(records[0], c.priority, "vantor-probe", c.message);
  }
}

TEST_F(InstallServicesTest, SeveritiesMapToPrioritiesAndOutOfRangeWritesNothing) {
  struct Case {
    std::string severity;
    std::string result;
    int priority;  // -1: no record
  };
  const std::vector<Case> cases = {
      {"0", "0\n", LOG_ERR},   {"1", "0\n", LOG_WARNING}, {"2", "0\n", LOG_NOTICE},
      {"3", "0\n", LOG_DEBUG}, {"4", "-3\n", -1},         {"-1", "-3\n", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("severity " + c.severity);
    mac.clearSyslog();
    EXPECT_EQ(probe({"installLog", c.severity, "level %s", "x%dy"}), c.result);
    const auto records = mac.syslog();
    if (c.priority < 0) {
      EXPECT_TRUE(records.empty()) << records.front().raw;
      continue;
    }
    ASSERT_EQ(records.size(), 1u);
    // The value is not a format: its "%d" stays as it is.
    expectRecord(records[0], c.priority, "vantor-probe", "level x%dy");
  }
}

TEST_F(InstallServicesTest, TheIdentityIsTheProgramsName) {
  // Copied under the bootstrapper's name, the same code signs its records so.
  harness::copyPath(harness::probePath(), mac.home() + "/Bootstrapper");
  const RunResult r =
      mac.run({mac.homePath() + "/Bootstrapper", "log", "logApplicationEnd", "true", "B", "0"});
  ASSERT_EQ(r.exitCode, 0) << r.describe();
  const auto records = mac.syslog();
  ASSERT_EQ(records.size(), 1u);
  expectRecord(records[0], LOG_NOTICE, "Bootstrapper", "B end with exit code 0");
}

}  // namespace
