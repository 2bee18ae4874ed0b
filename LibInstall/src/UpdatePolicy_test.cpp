// The update policy and the download addresses: the marker as real files
// under a home of the test's own (HOME), the configuration and the machine
// description through sources of the test, the version reading over real
// SystemVersion.plist files.
#include "UpdatePolicy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "SharedMacUtils.h"
#include "VantorDeployment.h"
#include "platform/value.h"

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/update_policy_test.XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

class FakePolicy : public install::UpdatePolicySource {
 public:
  FakePolicy(bool marker, int value) : marker_(marker), value_(value) {}
  bool updateDisabledFileExists() const override {
    ++markerAsked;
    return marker_;
  }
  int configurationValue(const char* key) const override {
    ++configAsked;
    lastKey = key;
    return value_;
  }
  mutable int markerAsked = 0;
  mutable int configAsked = 0;
  mutable std::string lastKey;

 private:
  bool marker_;
  int value_;
};

TEST(UpdatePolicy, MarkerFirstThenTheConfigurationValue) {
  struct Case {
    bool marker;
    int value;
    bool allowed;
    int configAsked;
  };
  const std::vector<Case> cases = {
      {true, 0, false, 0}, {true, 1, false, 0}, {false, 0, true, 1},
      {false, 1, false, 1}, {false, 2, true, 1}, {false, -1, true, 1},
  };
  for (const Case& c : cases) {
    FakePolicy source(c.marker, c.value);
    EXPECT_EQ(install::canUpdateRuntime(source), c.allowed) << c.marker << " " << c.value;
    EXPECT_EQ(source.markerAsked, 1);
    EXPECT_EQ(source.configAsked, c.configAsked);
    if (c.configAsked) {
      EXPECT_EQ(source.lastKey, "UpdateDisabled");
    }
  }
  EXPECT_EQ(install::platform_getConfigurationValue("UpdateDisabled"), 0);
  EXPECT_EQ(install::platform_getConfigurationValue("Anything"), 0);
}

class MarkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    if (home) savedHome_ = home;
    setenv("HOME", home_.path().c_str(), 1);
    folder_ = home_.path() + "/Library/Application Support/Brenmoor/Vantor";
    ASSERT_EQ(std::system(("mkdir -p '" + folder_ + "'").c_str()), 0);
  }
  void TearDown() override {
    if (savedHome_)
      setenv("HOME", savedHome_->c_str(), 1);
    else
      unsetenv("HOME");
  }
  TempDir home_;
  TempDir elsewhere_;
  std::string folder_;
  std::optional<std::string> savedHome_;
};

TEST_F(MarkerTest, TheUsersMarkerAsFileDirectoryOrLinkDisablesUpdates) {
  const std::string marker = folder_ + "/updateDisabled";
  EXPECT_FALSE(install::platform_updateDisabledFileExists());
  EXPECT_TRUE(install::canUpdateRuntime());

  std::ofstream(marker) << "";
  EXPECT_TRUE(install::platform_updateDisabledFileExists());
  EXPECT_FALSE(install::canUpdateRuntime());
  ASSERT_EQ(::unlink(marker.c_str()), 0);

  ASSERT_EQ(::mkdir(marker.c_str(), 0755), 0);
  EXPECT_FALSE(install::canUpdateRuntime());
  ASSERT_EQ(::rmdir(marker.c_str()), 0);

  // A link counts by its target.
  const std::string target = elsewhere_.path() + "/target";
  ASSERT_EQ(::symlink(target.c_str(), marker.c_str()), 0);
  EXPECT_TRUE(install::canUpdateRuntime()) << "a dangling link is no marker";
  std::ofstream(target) << "";
  EXPECT_FALSE(install::canUpdateRuntime());

  // Another spelling of the path is not the marker.
  ASSERT_EQ(::unlink(marker.c_str()), 0);
  std::ofstream(folder_ + "/UpdateDisabled") << "";
  std::ofstream(home_.path() + "/Library/Application Support/Brenmoor/updateDisabled") << "";
  EXPECT_TRUE(install::canUpdateRuntime());
}

void fill(install::PlatformInfo& out, install::PlatformInfo in) { out = in; }

TEST(DownloadUrls, AddressesFromThePlatformDescription) {
  const std::string server = VANTOR_DOWNLOAD_SERVER;
  struct Case {
    install::PlatformInfo info;
    bool ok;
    std::string path;  // of the installer; the signature adds ".p7"
  };
  const std::vector<Case> cases = {
      {{2, 10, 9, 5, 1}, true, "/vantor/3/nai/macos10.9/x86/installer"},
      {{2, 10, 6, 8, 1}, true, "/vantor/3/nai/macos10.6/x86/installer"},
      {{2, 11, 2, 3, 1}, true, "/vantor/3/nai/macos11.2/x86/installer"},
      {{2, 10, 0, 0, 1}, true, "/vantor/3/nai/macos10.0/x86/installer"},
      {{1, 6, 1, 0, 2}, true, "/vantor/3/nai/windows6.1/ppc/installer"},
      {{7, 3, 4, 0, 9}, true, "/vantor/3/nai/unknown3.4/unknown/installer"},
      {{0, 10, 9, 0, 1}, false, ""},
      {{2, 10, 9, 0, 0}, false, ""},
      {{2, 0, 9, 0, 1}, false, ""},
  };
  for (const Case& c : cases) {
    char installer[512], signature[512];
    std::memset(installer, 'x', sizeof installer);
    std::memset(signature, 'y', sizeof signature);
    const bool ok = install::getBootstrapperDownloadUrls(
        installer, sizeof installer, signature, sizeof signature,
        [&](install::PlatformInfo& info) {
          EXPECT_EQ(info.osType, 0);  // handed over all zero
          EXPECT_EQ(info.architecture, 0);
          fill(info, c.info);
        });
    EXPECT_EQ(ok, c.ok) << c.path;
    if (c.ok) {
      EXPECT_EQ(std::string(installer), server + c.path);
      EXPECT_EQ(std::string(signature), server + c.path + ".p7");
    } else {
      EXPECT_EQ(installer[0], 'x') << "buffers untouched";
      EXPECT_EQ(signature[0], 'y');
    }
  }
}

TEST(DownloadUrls, ATooSmallBufferGetsACutAddressAndStillTrue) {
  char small[10];
  char large[512];
  std::memset(small, 'x', sizeof small);
  const bool ok = install::getBootstrapperDownloadUrls(
      small, sizeof small, large, sizeof large,
      [](install::PlatformInfo& info) { info = {2, 10, 9, 0, 1}; });
  EXPECT_TRUE(ok);
  const std::string full = std::string(VANTOR_DOWNLOAD_SERVER) + "/vantor/3/nai/macos10.9/x86/installer";
  EXPECT_EQ(std::string(small), full.substr(0, 9));
  EXPECT_EQ(small[9], '\0');
  EXPECT_EQ(std::string(large), full + ".p7");
}

// ---- the operating-system version -----------------------------------------

class FakeSystem : public MacSystemInfo {
 public:
  explicit FakeSystem(std::string dir, bool responds = false, std::int64_t a = 0, std::int64_t b = 0,
                      std::int64_t c = 0)
      : dir_(std::move(dir)), responds_(responds), a_(a), b_(b), c_(c) {}
  bool respondsToOperatingSystemVersion() const override {
    ++asked;
    return responds_;
  }
  void operatingSystemVersion(std::int64_t& a, std::int64_t& b, std::int64_t& c) const override {
    a = a_;
    b = b_;
    c = c_;
  }
  std::string coreServicesDirectory() const override {
    ++fileLookups;
    return dir_;
  }
  mutable int asked = 0;
  mutable int fileLookups = 0;

 private:
  std::string dir_;
  bool responds_;
  std::int64_t a_, b_, c_;
};

struct Version {
  unsigned major, minor, patch;
  bool operator==(const Version&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Version& v) {
  return os << v.major << "." << v.minor << "." << v.patch;
}

Version obtain(const MacSystemInfo& system) {
  Version v{99, 99, 99};
  ObtainMacSystemVersion(&v.major, &v.minor, &v.patch, system);
  return v;
}

TEST(SystemVersion, TheVersionFileVariants) {
  struct Case {
    std::optional<platform::Value> productVersion;  // none: no key
    Version expected;
  };
  const std::vector<Case> cases = {
      {platform::Value("10.6.8"), {10, 6, 8}},
      {platform::Value("10.7"), {10, 7, 0}},
      {platform::Value("10.9.5"), {10, 9, 5}},
      {platform::Value("11"), {11, 0, 0}},
      {platform::Value(""), {0, 0, 0}},
      {platform::Value(" 10.\t8x.3rd"), {10, 8, 3}},
      {platform::Value("10..2"), {10, 0, 2}},
      {platform::Value("+12.-1.4.9"), {12, static_cast<unsigned>(-1), 4}},
      {platform::Value("ten.six"), {0, 0, 0}},
      {platform::Value(1068), {10, 0, 0}},  // not a string
      {std::nullopt, {10, 0, 0}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    platform::Dictionary plist{{"ProductName", platform::Value("Mac OS X")}};
    if (c.productVersion) plist["ProductVersion"] = *c.productVersion;
    ASSERT_TRUE(platform::writePropertyListXml(plist, dir.path() + "/SystemVersion.plist"));
    FakeSystem system(dir.path());
    EXPECT_EQ(obtain(system), c.expected);
  }
  // No file, an unreadable one, no folder at all.
  TempDir empty;
  EXPECT_EQ(obtain(FakeSystem(empty.path())), (Version{10, 0, 0}));
  std::ofstream(empty.path() + "/SystemVersion.plist") << "not a property list";
  EXPECT_EQ(obtain(FakeSystem(empty.path())), (Version{10, 0, 0}));
  EXPECT_EQ(obtain(FakeSystem("")), (Version{10, 0, 0}));
}

TEST(SystemVersion, AnAnsweredQueryWinsOverTheFile) {
  TempDir dir;
  ASSERT_TRUE(platform::writePropertyListXml({{"ProductVersion", platform::Value("10.6.8")}},
                                             dir.path() + "/SystemVersion.plist"));
  FakeSystem system(dir.path(), true, 11, 2, 3);
  EXPECT_EQ(obtain(system), (Version{11, 2, 3}));
  EXPECT_EQ(system.fileLookups, 0);
  // Cut to 32 bits, then GetSystemVersion keeps the low 16 bits of each.
  FakeSystem big(dir.path(), true, 0x100000003LL, 0x10007, 65536 + 9);
  EXPECT_EQ(obtain(big), (Version{3, 0x10007, 65545}));
  const MacSystemVersion packed = MacSystemVersion::GetSystemVersion(big);
  EXPECT_EQ(packed.major, 3);
  EXPECT_EQ(packed.minor, 7);
  EXPECT_EQ(packed.patch, 9);
  EXPECT_EQ(packed.reserved, 0);
}

TEST(SystemVersion, ThisPlatformsProcessInformationDoesNotAnswer) {
  EXPECT_FALSE(defaultMacSystemInfo().respondsToOperatingSystemVersion());
  EXPECT_EQ(defaultMacSystemInfo().coreServicesDirectory(), "/System/Library/CoreServices");
}

TEST(SystemVersion, ThePlatformDescriptionReadsTheVersionOnce) {
  TempDir dir;
  ASSERT_TRUE(platform::writePropertyListXml({{"ProductVersion", platform::Value("10.6.8")}},
                                             dir.path() + "/SystemVersion.plist"));
  MacSystemVersion::sCachedSystemVersion = MacSystemVersion::sMacSystemVersionUninitialized;
  FakeSystem system(dir.path());
  install::PlatformInfo info{0, 0, 0, 0, 0};
  install::platform_getPlatformInfo(info, system);
  EXPECT_EQ(info.osType, 2);
  EXPECT_EQ(info.osMajorVersion, 10);
  EXPECT_EQ(info.osMinorVersion, 6);
  EXPECT_EQ(info.osPatchVersion, 8);
  EXPECT_EQ(info.architecture, 1);
  EXPECT_EQ(system.asked, 1);
  install::PlatformInfo again{0, 0, 0, 0, 0};
  install::platform_getPlatformInfo(again, system);
  EXPECT_EQ(system.asked, 1) << "served from the cache";
  EXPECT_EQ(again.osMinorVersion, 6);

  // The public form uses the same cache: 10.6.8 addresses without a read.
  char installer[512], signature[512];
  ASSERT_TRUE(install::getBootstrapperDownloadUrls(installer, sizeof installer, signature, sizeof signature));
  EXPECT_EQ(std::string(installer), std::string(VANTOR_DOWNLOAD_SERVER) + "/vantor/3/nai/macos10.6/x86/installer");
  EXPECT_EQ(std::string(signature), std::string(VANTOR_DOWNLOAD_SERVER) + "/vantor/3/nai/macos10.6/x86/installer.p7");

  // A system that reported 0.0.0 is asked again at each call.
  TempDir zero;
  ASSERT_TRUE(platform::writePropertyListXml({{"ProductVersion", platform::Value("0.0.0")}},
                                             zero.path() + "/SystemVersion.plist"));
  MacSystemVersion::sCachedSystemVersion = MacSystemVersion::sMacSystemVersionUninitialized;
  FakeSystem zeros(zero.path());
  install::platform_getPlatformInfo(info, zeros);
  install::platform_getPlatformInfo(info, zeros);
  EXPECT_EQ(zeros.asked, 2);
  MacSystemVersion::sCachedSystemVersion = MacSystemVersion::sMacSystemVersionUninitialized;
}

TEST(SystemVersion, EqualityIsOverAllEightBytes) {
  MacSystemVersion a, b;
  EXPECT_TRUE(a == MacSystemVersion::sMacSystemVersionUninitialized);
  b.reserved = 1;
  EXPECT_FALSE(a == b);
  b = a;
  b.patch = 1;
  EXPECT_TRUE(a != b);
}

}  // namespace
