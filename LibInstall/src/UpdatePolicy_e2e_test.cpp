// The update policy and the download addresses on the literal paths, in the
// emulated Mac: the marker in the user's Application Support folder against
// one in the local domain, and the version read from the real
// /System/Library/CoreServices/SystemVersion.plist.
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "EmulatedMac.h"
#include "VantorDeployment.h"

#ifndef UPDATE_POLICY_PROBE_PATH
#error "UPDATE_POLICY_PROBE_PATH must name vantor-update-policy-probe"
#endif

namespace {

using harness::EmulatedMac;

std::map<std::string, std::string> probe(EmulatedMac& mac) {
  const auto r = mac.run({UPDATE_POLICY_PROBE_PATH});
  EXPECT_EQ(r.exitCode, 0) << r.describe();
  std::map<std::string, std::string> kv;
  std::istringstream in(r.out);
  std::string line;
  while (std::getline(in, line))
    if (auto eq = line.find('='); eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
  return kv;
}

void makeDirs(const std::string& path) { ASSERT_EQ(std::system(("mkdir -p '" + path + "'").c_str()), 0); }

class UpdatePolicyE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (auto reason = EmulatedMac::unavailableReason()) GTEST_SKIP() << *reason;
  }
};

TEST_F(UpdatePolicyE2E, OnlyTheUsersMarkerDisablesUpdates) {
  EmulatedMac mac;
  EXPECT_EQ(probe(mac)["canUpdate"], "1");

  // The local domain's folder is not looked at.
  const std::string local = mac.hostPath("/Library/Application Support/Brenmoor/Vantor");
  makeDirs(local);
  std::ofstream(local + "/updateDisabled") << "";
  auto kv = probe(mac);
  EXPECT_EQ(kv["canUpdate"], "1");
  EXPECT_EQ(kv["marker"], "0");

  const std::string user = mac.hostPath(mac.homePath() + "/Library/Application Support/Brenmoor/Vantor");
  makeDirs(user + "/updateDisabled");  // a folder counts
  kv = probe(mac);
  EXPECT_EQ(kv["canUpdate"], "0");
  EXPECT_EQ(kv["marker"], "1");
}

TEST_F(UpdatePolicyE2E, AddressesCarryTheVersionOfTheSystemsVersionFile) {
  const std::string server = VANTOR_DOWNLOAD_SERVER;
  struct Case {
    std::optional<std::string> productVersion;  // none: no file
    std::string version;
    std::string word;  // empty: no addresses
  };
  const std::vector<Case> cases = {
      {"10.6.8", "10.6.8", "macos10.6"},
      {"10.7", "10.7.0", "macos10.7"},
      {"10.9.5", "10.9.5", "macos10.9"},
      {"", "0.0.0", ""},
      {std::nullopt, "10.0.0", "macos10.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.productVersion.value_or("(no file)"));
    EmulatedMac mac;
    if (c.productVersion)
      mac.setSystemVersion(*c.productVersion);
    else
      mac.removeSystemVersion();
    auto kv = probe(mac);
    EXPECT_EQ(kv["version"], c.version);
    if (c.word.empty()) {
      EXPECT_EQ(kv["addresses"], "0");
      EXPECT_EQ(kv["installer"], "");
    } else {
      EXPECT_EQ(kv["addresses"], "1");
      EXPECT_EQ(kv["installer"], server + "/vantor/3/nai/" + c.word + "/x86/installer");
      EXPECT_EQ(kv["signature"], server + "/vantor/3/nai/" + c.word + "/x86/installer.p7");
    }
  }
}

}  // namespace
