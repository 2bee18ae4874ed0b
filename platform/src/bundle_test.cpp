// Bundle layouts on real folders, and the main bundle of real programs
// placed inside and outside an app bundle.
#include "platform/bundle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/file_manager.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "test_tempdir.h"

namespace platform {
namespace {

using testing::TempDir;

void writeInfo(const std::string& path, Dictionary info) {
  ASSERT_TRUE(writePropertyListXml(info, path));
}

const std::string* stringFor(const Bundle& b, const std::string& key) {
  const Value* v = b.objectForInfoDictionaryKey(key);
  return v ? v->asString() : nullptr;
}

TEST(Bundle, OnlyExistingFoldersAreBundles) {
  TempDir dir;
  EXPECT_EQ(Bundle::bundleWithPath(dir / "missing"), nullptr);
  EXPECT_EQ(Bundle::bundleWithPath(dir.write("file.app", "x")), nullptr);
  EXPECT_EQ(Bundle::bundleWithPath(""), nullptr);
  // A folder without Info.plist is a bundle with an empty dictionary.
  const auto bare = Bundle::bundleWithPath(dir.mkdirs("Bare.app/Contents"));
  ASSERT_NE(bare, nullptr);
  EXPECT_TRUE(bare->infoDictionary().empty());
  EXPECT_EQ(bare->objectForInfoDictionaryKey("CFBundleVersion"), nullptr);
  EXPECT_EQ(bare->executablePath(), std::nullopt);
  // A link to a bundle folder opens the bundle.
  dir.mkdirs("Linked.app");
  EXPECT_NE(Bundle::bundleWithPath(dir.symlink("Linked.app", "Alias.app")), nullptr);
}

TEST(Bundle, AppLayout) {
  TempDir dir;
  const std::string app = dir.mkdirs("Install Sample.app/Contents");
  writeInfo(app + "/Info.plist",
            {{"CFBundleExecutable", "Install Sample"}, {"CFBundleVersion", "32.0.0.89"}});
  dir.write("Install Sample.app/Contents/MacOS/Install Sample", "#!/bin/sh\n", 0755);
  dir.write("Install Sample.app/Contents/Resources/Config.plist", "<plist/>");
  // Files at the top of the bundle are not its resources.
  dir.write("Install Sample.app/Config.plist", "<plist/>");

  const auto b = Bundle::bundleWithPath(dir / "Install Sample.app/");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->bundlePath(), dir / "Install Sample.app");
  EXPECT_EQ(b->resourcePath(), dir / "Install Sample.app/Contents/Resources");
  EXPECT_EQ(b->executablePath(), dir / "Install Sample.app/Contents/MacOS/Install Sample");
  EXPECT_EQ(b->pathForResource("Config", "plist"),
            dir / "Install Sample.app/Contents/Resources/Config.plist");
  EXPECT_EQ(b->pathForResource("Config", "xml"), std::nullopt);
  ASSERT_NE(stringFor(*b, "CFBundleVersion"), nullptr);
  EXPECT_EQ(*stringFor(*b, "CFBundleVersion"), "32.0.0.89");

  // The executable named but not there.
  removeItemAtPath(dir / "Install Sample.app/Contents/MacOS/Install Sample");
  EXPECT_EQ(Bundle::bundleWithPath(dir / "Install Sample.app")->executablePath(), std::nullopt);
}

TEST(Bundle, FrameworkLayoutThroughVersionLinks) {
  TempDir dir;
  const std::string v = dir.mkdirs("Brenmoor Vantor.framework/Versions/1.0/Resources");
  writeInfo(v + "/Info.plist", {{"CFBundleVersion", "2.0.0.0"}, {"CFBundleExecutable", "Brenmoor Vantor"}});
  dir.write("Brenmoor Vantor.framework/Versions/1.0/Brenmoor Vantor", "lib", 0755);
  dir.write("Brenmoor Vantor.framework/Versions/1.0/Resources/strings.txt", "s");
  dir.symlink("1.0", "Brenmoor Vantor.framework/Versions/Current");
  dir.symlink("Versions/Current/Resources", "Brenmoor Vantor.framework/Resources");
  dir.symlink("Versions/Current/Brenmoor Vantor", "Brenmoor Vantor.framework/Brenmoor Vantor");

  const auto fw = Bundle::bundleWithPath(dir / "Brenmoor Vantor.framework");
  ASSERT_NE(fw, nullptr);
  EXPECT_EQ(fw->resourcePath(), dir / "Brenmoor Vantor.framework/Resources");
  ASSERT_NE(stringFor(*fw, "CFBundleVersion"), nullptr);
  EXPECT_EQ(*stringFor(*fw, "CFBundleVersion"), "2.0.0.0");
  EXPECT_EQ(fw->executablePath(), dir / "Brenmoor Vantor.framework/Brenmoor Vantor");
  EXPECT_EQ(fw->pathForResource("strings", "txt"),
            dir / "Brenmoor Vantor.framework/Resources/strings.txt");

  // The versioned folder on its own is a bundle with the same dictionary.
  const auto version = Bundle::bundleWithPath(dir / "Brenmoor Vantor.framework/Versions/1.0");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->resourcePath(), dir / "Brenmoor Vantor.framework/Versions/1.0/Resources");
  EXPECT_EQ(version->infoDictionary(), fw->infoDictionary());
  EXPECT_EQ(version->executablePath(), dir / "Brenmoor Vantor.framework/Versions/1.0/Brenmoor Vantor");

  // Copied without the top-level Resources link: Versions/Current is used.
  removeItemAtPath(dir / "Brenmoor Vantor.framework/Resources");
  const auto copied = Bundle::bundleWithPath(dir / "Brenmoor Vantor.framework");
  EXPECT_EQ(copied->resourcePath(), dir / "Brenmoor Vantor.framework/Versions/Current/Resources");
  ASSERT_NE(stringFor(*copied, "CFBundleVersion"), nullptr);
}

TEST(Bundle, FlatFolder) {
  TempDir dir;
  const std::string flat = dir.mkdirs("tools");
  writeInfo(flat + "/Info.plist", {{"CFBundleExecutable", "tool"}});
  dir.write("tools/tool", "x", 0755);
  dir.write("tools/data.bin", "x");
  const auto b = Bundle::bundleWithPath(flat);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->resourcePath(), flat);
  EXPECT_EQ(b->executablePath(), flat + "/tool");
  EXPECT_EQ(b->pathForResource("data", "bin"), flat + "/data.bin");
  EXPECT_EQ(b->pathForResource("data", ""), std::nullopt);
}

TEST(Bundle, UnreadableInfoPlistGivesAnEmptyDictionary) {
  TempDir dir;
  dir.write("Broken.app/Contents/Info.plist", "not a property list");
  const auto b = Bundle::bundleWithPath(dir / "Broken.app");
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->infoDictionary().empty());
}

// Copies the probe program to `dest` (executable).
void placeProbe(const std::string& dest) {
  std::ifstream in(BUNDLE_PROBE, std::ios::binary);
  ASSERT_TRUE(in) << BUNDLE_PROBE;
  std::ofstream(dest, std::ios::binary) << in.rdbuf();
  ASSERT_EQ(::chmod(dest.c_str(), 0755), 0);
}

std::vector<std::string> fields(const std::string& raw) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t end; (end = raw.find('\0', start)) != std::string::npos; start = end + 1)
    out.push_back(raw.substr(start, end - start));
  return out;
}

TEST(MainBundle, AppBundleOfTheRunningExecutableElseItsFolder) {
  TempDir dir;
  // resolvingSymlinksInPath: /proc/self/exe names the file without links.
  const std::string root = resolvingSymlinksInPath(dir.path());
  dir.mkdirs("Sample.app/Contents/MacOS");
  placeProbe(root + "/Sample.app/Contents/MacOS/Sample");
  dir.mkdirs("plain");
  placeProbe(root + "/plain/probe");
  // A MacOS folder that is not inside Contents is no app bundle.
  dir.mkdirs("Odd/MacOS");
  placeProbe(root + "/Odd/MacOS/probe");
  // Started through a link, the program still belongs to the app.
  dir.symlink(root + "/Sample.app/Contents/MacOS/Sample", "alias");

  struct {
    std::string program, bundle, resources;
  } cases[] = {
      {root + "/Sample.app/Contents/MacOS/Sample", root + "/Sample.app",
       root + "/Sample.app/Contents/Resources"},
      {dir / "alias", root + "/Sample.app", root + "/Sample.app/Contents/Resources"},
      {root + "/plain/probe", root + "/plain", root + "/plain"},
      {root + "/Odd/MacOS/probe", root + "/Odd/MacOS", root + "/Odd/MacOS"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    const std::string out = dir / "out";
    const ChildResult r = runChildAndWait(c.program, {out, "-psn_0_1", "two words", ""});
    ASSERT_TRUE(r.started) << r.error;
    ASSERT_EQ(r.status, 0);
    const auto f = fields(testing::readFile(out));
    EXPECT_EQ(f, (std::vector<std::string>{c.bundle, c.resources, c.program, out, "-psn_0_1",
                                           "two words", ""}));
  }
}

TEST(MainBundle, SameObjectEveryCall) {
  EXPECT_EQ(Bundle::mainBundle(), Bundle::mainBundle());
  EXPECT_NE(Bundle::mainBundle(), nullptr);
}

}  // namespace
}  // namespace platform
