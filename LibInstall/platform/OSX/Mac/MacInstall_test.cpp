// Reading the runtime's version from real bundle folders, and the severity
// checks of the log layer.
#include <gtest/gtest.h>
#include <plist/plist.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>

#include "LibInstall.h"
#include "platform/value.h"
#include "test_tempdir.h"

namespace install {

// Found by argument-dependent lookup, so they live in the record's namespace.
static bool operator==(const RuntimeVersionInfo& a, const RuntimeVersionInfo& b) {
  return a.major == b.major && a.minor == b.minor && a.revision == b.revision && a.build == b.build;
}

[[maybe_unused]] static void PrintTo(const RuntimeVersionInfo& v, std::ostream* os) {
  *os << v.major << "." << v.minor << "." << v.revision << "." << v.build;
}

namespace {

using platform::testing::TempDir;

// Sentinels a failed read must leave in place.
constexpr RuntimeVersionInfo kUntouched{-71, -72, -73, -74};

// A framework bundle as the runtime installs it, with `version` as its
// CFBundleVersion string.
std::string writeFramework(const TempDir& dir, const std::string& version) {
  const std::string fw = dir.mkdirs("Brenmoor Vantor.framework/Resources");
  platform::Dictionary info{{"CFBundleVersion", version},
                            {"CFBundleIdentifier", "com.brenmoor.vantor"}};
  EXPECT_TRUE(platform::writePropertyListXml(info, fw + "/Info.plist"));
  return dir / "Brenmoor Vantor.framework";
}

struct VersionCase {
  const char* name;
  const char* version;
  int result;
  RuntimeVersionInfo expected;  // kUntouched for a failed read
};

const VersionCase kVersionCases[] = {
    {"FourParts", "3.1.0.488", 0, {3, 1, 0, 488}},
    {"MajorOne", "1.0.2.3", 0, {1, 0, 2, 3}},
    {"TwoParts", "3.1", -3, kUntouched},
    {"ThreeParts", "3.1.0", -3, kUntouched},
    {"ThreePartsAndDot", "3.1.0.", -3, kUntouched},
    {"FifthPartIgnored", "3.1.0.488.7", 0, {3, 1, 0, 488}},
    {"WordAfterBlankIgnored", "3.1.0.488 word", 0, {3, 1, 0, 488}},
    {"LetterTailIgnored", "3.1.0.488b2", 0, {3, 1, 0, 488}},
    {"LetterForSecondNumber", "3.x.0.488", -3, kUntouched},
    {"LetterAfterFirstNumber", "3a.1.0.488", -3, kUntouched},
    {"LeadingLetter", "v3.1.0.488", -3, kUntouched},
    {"BlanksBeforeNumbersAndDots", "  3 . 1 .\t0 .\n488", 0, {3, 1, 0, 488}},
    {"BlankInsideNumberSplitsIt", "3.1 0.0.488", -3, kUntouched},
    {"CommasAreNotDots", "3,1,0,488", -3, kUntouched},
    {"DoubleDot", "3..1.0.488", -3, kUntouched},
    {"Signs", "+3.-1.0.-0", 0, {3, -1, 0, 0}},
    {"SignWithoutDigits", "3.-.0.488", -3, kUntouched},
    {"SaturatesHigh", "2147483648.1.99999999999999999999.0", 0, {INT32_MAX, 1, INT32_MAX, 0}},
    {"SaturatesLow", "-2147483649.0.0.-99999999999999999999", 0, {INT32_MIN, 0, 0, INT32_MIN}},
    {"LimitsExactly", "2147483647.-2147483648.0.0", 0, {INT32_MAX, INT32_MIN, 0, 0}},
    {"Empty", "", -3, kUntouched},
    {"OnlyBlanks", "   ", -3, kUntouched},
};

class VersionScan : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionScan, ReadsFourNumbersOrLeavesTheRecord) {
  const VersionCase& c = GetParam();
  TempDir dir;
  const std::string fw = writeFramework(dir, c.version);
  RuntimeVersionInfo info = kUntouched;
  EXPECT_EQ(platform_getFileVersion(fw.c_str(), info), c.result);
  EXPECT_EQ(info, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionScan, ::testing::ValuesIn(kVersionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FileVersion, NotABundleOrNoVersionLeavesTheRecord) {
  TempDir dir;
  // A plain file of the framework's name: it exists, but it is no bundle.
  const std::string file = dir.write("Plain.framework", "3.1.0.488\n");
  // A folder with no Info.plist at all.
  const std::string bare = dir.mkdirs("Bare.framework/Resources");
  // An Info.plist without CFBundleVersion, and one where it is a number.
  const std::string noKey = dir.mkdirs("NoKey.framework/Resources");
  ASSERT_TRUE(platform::writePropertyListXml({{"CFBundleShortVersionString", "3.1"}},
                                             noKey + "/Info.plist"));
  const std::string number = dir.mkdirs("Number.framework/Resources");
  ASSERT_TRUE(platform::writePropertyListXml({{"CFBundleVersion", 3}}, number + "/Info.plist"));
  // An Info.plist that is not a property list.
  dir.write("Broken.framework/Resources/Info.plist", "<plist><dict><key>CFBundleVersion");

  for (const std::string& path :
       {file, dir / "Bare.framework", dir / "NoKey.framework", dir / "Number.framework",
        dir / "Broken.framework", dir / "Missing.framework", std::string()}) {
    SCOPED_TRACE(path);
    RuntimeVersionInfo info = kUntouched;
    EXPECT_EQ(platform_getFileVersion(path.c_str(), info), -3);
    EXPECT_EQ(info, kUntouched);
  }
  RuntimeVersionInfo info = kUntouched;
  EXPECT_EQ(platform_getFileVersion(nullptr, info), -3);
  EXPECT_EQ(info, kUntouched);
}

TEST(FileVersion, BinaryInfoPlistIsRead) {
  TempDir dir;
  const std::string res = dir.mkdirs("Bin.framework/Resources");
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "CFBundleVersion", plist_new_string("4.2.0.17"));
  char* bin = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root, &bin, &length);
  plist_free(root);
  ASSERT_NE(bin, nullptr);
  ASSERT_EQ(std::string(bin, 8), "bplist00");
  std::ofstream(res + "/Info.plist", std::ios::binary).write(bin, length);
  plist_to_bin_free(bin);

  RuntimeVersionInfo info = kUntouched;
  EXPECT_EQ(platform_getFileVersion((dir / "Bin.framework").c_str(), info), 0);
  EXPECT_EQ(info, (RuntimeVersionInfo{4, 2, 0, 17}));
}

TEST(FileVersion, FrameworkWithVersionsAndLinksAsInstalled) {
  // Resources is a link into Versions/Current, as the runtime installer
  // lays the framework out; a trailing slash on the path changes nothing.
  TempDir dir;
  const std::string v = dir.mkdirs("Brenmoor Vantor.framework/Versions/1.0/Resources");
  ASSERT_TRUE(platform::writePropertyListXml({{"CFBundleVersion", "2.0.0.0"}}, v + "/Info.plist"));
  dir.symlink("1.0", "Brenmoor Vantor.framework/Versions/Current");
  dir.symlink("Versions/Current/Resources", "Brenmoor Vantor.framework/Resources");

  RuntimeVersionInfo info = kUntouched;
  EXPECT_EQ(platform_getFileVersion((dir / "Brenmoor Vantor.framework/").c_str(), info), 0);
  EXPECT_EQ(info, (RuntimeVersionInfo{2, 0, 0, 0}));
}

TEST(InstallLog, SeverityOutsideTheTableIsRefused) {
  // Out-of-range severities return before vsyslog, so nothing reaches the
  // system log from this test. The records themselves are checked byte for
  // byte in the emulated Mac.
  for (int s : {4, 5, 100, -1, -3, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(s);
    EXPECT_EQ(installLog(static_cast<severity_t>(s), "never written %d", s), -3);
  }
}

}  // namespace
}  // namespace install
