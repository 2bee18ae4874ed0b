// The start of the downloaded runtime installer (installWithInstaller) in the
// emulated Mac, through a small driver over the real Bootstrapper: the
// argument list the child receives, its working directory, the log command
// line and outcome records byte for byte, and what happens when the child
// cannot be started at all.
#include <filesystem>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EmulatedMac.h"
#include "FixtureTree.h"

namespace fs = std::filesystem;
using harness::EmulatedMac;
using harness::RunOptions;
using harness::RunResult;
using ::testing::ElementsAreArray;

namespace {

// Records its working directory and arguments, one per line, and ends with
// the status written in /tmp/installer-status (0 when there is none).
constexpr char kRecordingInstaller[] = R"(#!/bin/sh
{ pwd; for a in "$@"; do printf '%s\n' "$a"; done; } > /tmp/runtime-installer.txt
status=0
[ -f /tmp/installer-status ] && status=$(cat /tmp/installer-status)
exit "$status"
)";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const auto nl = text.find('\n', start);
    out.push_back(text.substr(start, nl - start));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return out;
}

std::string withoutTimestamp(const harness::SyslogRecord& r) {
  const std::size_t close = r.raw.find('>');
  if (close == std::string::npos || r.timestamp.empty()) return "unparsable: " + r.raw;
  return r.raw.substr(0, close + 1) + r.raw.substr(close + 1 + r.timestamp.size() + 1);
}

TEST(RuntimeInstallerStart, ArgumentsLogAndOutcome) {
  VANTOR_REQUIRE_EMULATED_MAC();
  EmulatedMac mac;
  // A package path with blanks in it, passed as one argument and logged
  // unquoted.
  const std::string bundle = "/Users/tester/My Downloads/Install Sample.app";
  const std::string package = bundle + "/Contents/Resources/Sample";
  harness::writeFile(mac.hostPath(package + "/payload.txt"), "files\n");
  harness::writeFile(mac.hostPath("/tmp/installer"), kRecordingInstaller, 0755);
  harness::writeFile(mac.hostPath("/tmp/not-executable"), kRecordingInstaller, 0644);
  fs::create_directories(mac.home() + "/Work");

  struct Case {
    const char* what;
    std::string installer;
    std::vector<std::string> options;
    std::string status;                     // what the installer ends with
    int expected;                           // what installWithInstaller returns
    std::vector<std::string> childArgs;     // empty: the child must not run
  };
  const std::vector<Case> cases = {
      {"no options", "/tmp/installer", {}, "0", 0, {"-x1", package}},
      {"two options, failing child", "/tmp/installer", {"-silent", "-eulaAccepted"}, "7", 7,
       {"-silent", "-eulaAccepted", package}},
      {"a location with blanks", "/tmp/installer", {"-location", "/Users/tester/My Apps"}, "0", 0,
       {"-location", "/Users/tester/My Apps", package}},
      {"missing installer", "/tmp/no-such-installer", {"-silent"}, "0", 127, {}},
      {"installer without execute permission", "/tmp/not-executable", {}, "0", 126, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    harness::writeFile(mac.hostPath("/tmp/installer-status"), c.status);
    fs::remove(mac.hostPath("/tmp/runtime-installer.txt"));
    mac.clearSyslog();

    std::vector<std::string> argv{VANTOR_CHILD_DRIVER, bundle, c.installer};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    RunOptions options;
    options.workingDirectory = "/Users/tester/Work";
    const RunResult r = mac.run(argv, options);
    ASSERT_TRUE(r.exited()) << r.describe();
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(r.out, "status " + std::to_string(c.expected) + "\n");

    std::vector<std::string> logged = c.options;
    if (logged.empty()) logged.push_back("-x1");
    logged.push_back(package);
    std::string commandLine = "\"Vantor Runtime Installer\" ";
    for (const auto& a : logged) commandLine += a + " ";
    const std::string id = "<13>bootstrapper-child-driver: ";
    const std::string outcome = c.expected == 0
                                    ? id + "Subprocess Runtime Installer succeeded"
                                    : "<11>bootstrapper-child-driver: Subprocess Runtime Installer failed (" +
                                          std::to_string(c.expected) + ")";
    std::vector<std::string> records;
    for (const auto& rec : mac.syslog()) records.push_back(withoutTimestamp(rec));
    EXPECT_THAT(records, ElementsAreArray({id + "Launching subprocess with commandline " + commandLine, outcome}));

    const std::string received = harness::readFile(mac.hostPath("/tmp/runtime-installer.txt"));
    if (c.childArgs.empty()) {
      EXPECT_EQ(received, "");
    } else {
      std::vector<std::string> expected{"/Users/tester/Work"};
      expected.insert(expected.end(), c.childArgs.begin(), c.childArgs.end());
      EXPECT_EQ(lines(received), expected);
    }
  }
}

}  // namespace
