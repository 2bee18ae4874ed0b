// The fixture helpers: property lists that libplist reads back value for
// value, and framework and app bundles with the layout and links the system
// expects.
#include "FixtureTree.h"

#include <cstdlib>
#include <filesystem>

#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class FixtureTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = fs::temp_directory_path().string() + "/fixture-tree-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir = templ;
  }
  void TearDown() override { fs::remove_all(dir); }

  // The dictionary of an XML plist as libplist reads it.
  plist_t readPlist(const std::string& path) {
    const std::string xml = harness::readFile(path);
    plist_t p = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &p);
    return p;
  }
  std::string stringOf(plist_t dict, const char* key) {
    plist_t node = plist_dict_get_item(dict, key);
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return "<none>";
    char* s = nullptr;
    plist_get_string_val(node, &s);
    std::string out = s;
    free(s);
    return out;
  }

  std::string dir;
};

TEST_F(FixtureTreeTest, PlistXmlReadsBackThroughLibplist) {
  platform::Dictionary nested = {{"inner", "value"}};
  const platform::Dictionary d = {
      {"string", "a <b> & \"c\" 'd' \xc3\xa9"},
      {"empty", ""},
      {"yes", true},
      {"no", false},
      {"int", std::int64_t{-1234567890123}},
      {"real", 2.5},
      {"data", platform::Data{0x00, 0xff, 0x10, 0x20, 0x7f}},
      {"array", platform::Array{"one", 2, platform::Array{}}},
      {"dict", nested},
      {"emptyDict", platform::Dictionary{}},
  };
  harness::writePlist(dir + "/x.plist", d);
  plist_t p = readPlist(dir + "/x.plist");
  ASSERT_NE(p, nullptr) << harness::readFile(dir + "/x.plist");
  ASSERT_EQ(plist_get_node_type(p), PLIST_DICT);
  EXPECT_EQ(plist_dict_get_size(p), d.size());
  EXPECT_EQ(stringOf(p, "string"), "a <b> & \"c\" 'd' \xc3\xa9");
  EXPECT_EQ(stringOf(p, "empty"), "");
  uint8_t b = 0;
  plist_get_bool_val(plist_dict_get_item(p, "yes"), &b);
  EXPECT_EQ(b, 1);
  plist_get_bool_val(plist_dict_get_item(p, "no"), &b);
  EXPECT_EQ(b, 0);
  uint64_t i = 0;
  plist_get_uint_val(plist_dict_get_item(p, "int"), &i);
  EXPECT_EQ(static_cast<std::int64_t>(i), -1234567890123);
  double r = 0;
  plist_get_real_val(plist_dict_get_item(p, "real"), &r);
  EXPECT_EQ(r, 2.5);
  char* data = nullptr;
  uint64_t len = 0;
  plist_get_data_val(plist_dict_get_item(p, "data"), &data, &len);
  ASSERT_EQ(len, 5u);
  EXPECT_EQ(std::string(data, len), std::string("\x00\xff\x10\x20\x7f", 5));
  free(data);
  plist_t array = plist_dict_get_item(p, "array");
  ASSERT_EQ(plist_array_get_size(array), 3u);
  EXPECT_EQ(plist_get_node_type(plist_array_get_item(array, 2)), PLIST_ARRAY);
  EXPECT_EQ(stringOf(plist_dict_get_item(p, "dict"), "inner"), "value");
  EXPECT_EQ(plist_dict_get_size(plist_dict_get_item(p, "emptyDict")), 0u);
  plist_free(p);
}

TEST_F(FixtureTreeTest, VersionedFrameworkHasRelativeLinksAndItsPrograms) {
  harness::writeFile(dir + "/installer", "#!/bin/sh\nexit 0\n", 0755);
  harness::writeFile(dir + "/runtime.so", "not really a library", 0644);
  harness::FrameworkOptions o;
  o.appInstaller = dir + "/installer";
  o.runtimeExecutable = dir + "/runtime.so";
  const std::string fw = harness::installFramework(dir + "/Library", "3.1.0.488", o);
  EXPECT_EQ(fw, dir + "/Library/Frameworks/Brenmoor Vantor.framework");

  EXPECT_EQ(fs::read_symlink(fw + "/Versions/Current"), "1.0");
  EXPECT_EQ(fs::read_symlink(fw + "/Resources"), "Versions/Current/Resources");
  plist_t info = readPlist(fw + "/Resources/Info.plist");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(stringOf(info, "CFBundleVersion"), "3.1.0.488");
  EXPECT_EQ(stringOf(info, "CFBundleExecutable"), "Brenmoor Vantor_64");
  plist_free(info);
  EXPECT_EQ(harness::readFile(fw + "/Versions/1.0/Brenmoor Vantor_64"), "not really a library");

  const std::string app = fw + "/Versions/1.0/Brenmoor Vantor Application Installer.app";
  const std::string exe = app + "/Contents/MacOS/Brenmoor Vantor Application Installer";
  EXPECT_FALSE(fs::is_symlink(exe));
  EXPECT_EQ(access(exe.c_str(), X_OK), 0);
  plist_t appInfo = readPlist(app + "/Contents/Info.plist");
  ASSERT_NE(appInfo, nullptr);
  EXPECT_EQ(stringOf(appInfo, "CFBundleExecutable"), "Brenmoor Vantor Application Installer");
  plist_free(appInfo);
}

TEST_F(FixtureTreeTest, FrameworkVariantsReplaceWhatWasThere) {
  const std::string lib = dir + "/Library";
  const std::string fw = lib + "/Frameworks/Brenmoor Vantor.framework";
  harness::FrameworkOptions o;

  o.plainFile = true;
  harness::installFramework(lib, "3.1.0.488", o);
  EXPECT_TRUE(fs::is_regular_file(fw));

  o = {};
  o.layout = harness::FrameworkOptions::Layout::Flat;
  o.extraInfo["CFBundleVersion"] = "9.9.9.9";  // extra keys win
  harness::installFramework(lib, "3.1.0.488", o);
  EXPECT_FALSE(fs::is_symlink(fw + "/Resources"));
  plist_t info = readPlist(fw + "/Resources/Info.plist");
  EXPECT_EQ(stringOf(info, "CFBundleVersion"), "9.9.9.9");
  plist_free(info);

  o = {};
  o.bundleVersionKey = false;
  harness::installFramework(lib, "3.1.0.488", o);
  info = readPlist(fw + "/Resources/Info.plist");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(stringOf(info, "CFBundleVersion"), "<none>");
  EXPECT_EQ(stringOf(info, "CFBundleName"), "Brenmoor Vantor");
  plist_free(info);

  o = {};
  o.infoPlist = false;
  harness::installFramework(lib, "3.1.0.488", o);
  EXPECT_TRUE(fs::is_directory(fw + "/Resources"));
  EXPECT_FALSE(fs::exists(fw + "/Resources/Info.plist"));

  harness::removeFramework(lib);
  EXPECT_FALSE(fs::exists(fw));
}

TEST_F(FixtureTreeTest, AppBundleCopiesExecutableAndResources) {
  harness::writeFile(dir + "/prog", "#!/bin/sh\n", 0750);
  harness::writeFile(dir + "/package/app.bin", "payload");
  harness::writeFile(dir + "/package/sub/more", "more");
  harness::writeFile(dir + "/Config.plist", harness::plistXml({}));
  harness::AppBundleOptions o;
  o.resources = {{"package", dir + "/package"}, {"Config.plist", dir + "/Config.plist"}};
  o.info["CFBundleVersion"] = "32.0.0.89";
  const std::string app = harness::makeAppBundle(dir + "/Applications", "Install Demo.app",
                                                 dir + "/prog", o);
  EXPECT_EQ(app, dir + "/Applications/Install Demo.app");
  const std::string exe = app + "/Contents/MacOS/Install Demo";
  EXPECT_FALSE(fs::is_symlink(exe));
  struct stat st;
  ASSERT_EQ(stat(exe.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0750u);
  EXPECT_EQ(harness::readFile(app + "/Contents/Resources/package/sub/more"), "more");
  EXPECT_TRUE(fs::exists(app + "/Contents/Resources/Config.plist"));

  plist_t info = readPlist(app + "/Contents/Info.plist");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(stringOf(info, "CFBundleExecutable"), "Install Demo");
  EXPECT_EQ(stringOf(info, "CFBundleName"), "Install Demo");
  EXPECT_EQ(stringOf(info, "CFBundlePackageType"), "APPL");
  EXPECT_EQ(stringOf(info, "CFBundleVersion"), "32.0.0.89");
  plist_free(info);

  harness::AppBundleOptions named;
  named.executableName = "launcher";
  named.infoPlist = false;
  harness::makeAppBundle(dir + "/Applications", "Demo.app", dir + "/prog", named);
  EXPECT_TRUE(fs::exists(dir + "/Applications/Demo.app/Contents/MacOS/launcher"));
  EXPECT_TRUE(fs::is_directory(dir + "/Applications/Demo.app/Contents/Resources"));
  EXPECT_FALSE(fs::exists(dir + "/Applications/Demo.app/Contents/Info.plist"));
}

}  // namespace
