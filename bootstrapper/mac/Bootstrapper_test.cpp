// Unit tests of the Bootstrapper's pieces that need no process ending: the
// start-up fields over a bundle in a scratch folder, the application-name
// rule, the log form of a child's command line, and markAsExecutable on real
// files. The launch decision and the child installers are tested end to end
// (bootstrapper/e2e/).
#include "Bootstrapper.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "LocalizedStrings.h"

namespace fs = std::filesystem;

namespace {

class Scratch {
 public:
  Scratch() {
    char tmpl[] = "/tmp/vantor-bootstrapper-test-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = tmpl;
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void write(const std::string& path, const std::string& text, mode_t mode = 0644) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << text;
  ASSERT_EQ(chmod(path.c_str(), mode), 0);
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

TEST(BootstrapperName, OnlyTheExactInstallPrefixIsStripped) {
  struct Case {
    const char* appName;
    const char* name;
  };
  const Case cases[] = {
      {"Install Sample", "Sample"},
      {"Install My Sample App", "My Sample App"},
      {"Install  Sample", " Sample"},  // only the one blank of the prefix goes
      {"Install Install Sample", "Install Sample"},
      {"install Sample", "install Sample"},
      {"INSTALL Sample", "INSTALL Sample"},
      {"InstallSample", "InstallSample"},
      {"Install", "Install"},
      {"Install ", ""},
      {"Sample", "Sample"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Bootstrapper::applicationNameFromAppName(c.appName), c.name) << c.appName;
}

TEST(BootstrapperCommandLine, EveryArgumentFollowedByOneBlankNothingQuoted) {
  EXPECT_EQ(Bootstrapper::subprocessCommandLine("Vantor Runtime Installer", {"-silent", "-eulaAccepted", "/D"}),
            "\"Vantor Runtime Installer\" -silent -eulaAccepted /D ");
  EXPECT_EQ(Bootstrapper::subprocessCommandLine("Vantor Application Installer", {"/Users/a b/Install X.app/X"}),
            "\"Vantor Application Installer\" /Users/a b/Install X.app/X ");
  EXPECT_EQ(Bootstrapper::subprocessCommandLine("Vantor Application Installer", {}),
            "\"Vantor Application Installer\" ");
  // An empty argument still brings its blank; a "%" is kept as it is.
  EXPECT_EQ(Bootstrapper::subprocessCommandLine("X", {"", "100%d"}), "\"X\"  100%d ");
}

class BootstrapperStartUp : public ::testing::Test {
 protected:
  // "<scratch>/<bundleName>.app" with Contents/MacOS/<exe> and Resources.
  std::string makeBundle(const std::string& exe) {
    const std::string bundle = scratch_.path() + "/" + exe + ".app";
    write(bundle + "/Contents/MacOS/" + exe, "#!/bin/sh\n", 0755);
    fs::create_directories(bundle + "/Contents/Resources");
    return bundle;
  }
  std::unique_ptr<Bootstrapper> start(const std::string& bundle, const std::string& exe) {
    return std::make_unique<Bootstrapper>(std::vector<std::string>{bundle + "/Contents/MacOS/" + exe, "-silent"},
                                          platform::Bundle::bundleWithPath(bundle));
  }
  Scratch scratch_;
};

TEST_F(BootstrapperStartUp, FieldsFromTheExecutableNameAndTheBundle) {
  const std::string bundle = makeBundle("Install Sample");
  fs::create_directories(bundle + "/Contents/Resources/Sample");
  write(bundle + "/Contents/Resources/Config.plist",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>Channel</key>"
        "<string>beta</string></dict></plist>\n");
  const auto b = start(bundle, "Install Sample");

  EXPECT_EQ(b->exePath(), bundle + "/Contents/MacOS/Install Sample");
  EXPECT_EQ(b->appName(), "Install Sample");
  ASSERT_TRUE(b->appPath());
  EXPECT_EQ(*b->appPath(), bundle + "/Contents/Resources/Sample");
  EXPECT_EQ(b->localizedWindowTitle(), LocalizedStrings::getEmbeddedMessage(9).value() + "Sample");
  EXPECT_FALSE(b->installerLaunchPath());
  EXPECT_EQ(b->downloader(), nullptr);
  ASSERT_TRUE(b->config());
  ASSERT_TRUE(b->config()->count("Channel"));
  EXPECT_EQ(*b->config()->at("Channel").asString(), "beta");
}

TEST_F(BootstrapperStartUp, PackageDirectoryMustBeAFolderNamedByTheApplicationName) {
  struct Case {
    const char* what;
    std::string exe;
    std::string made;  // what is placed in Resources under that name
    bool asFolder;
    bool found;
    std::string lookedFor;
  };
  const std::vector<Case> cases = {
      {"folder of the stripped name", "Install Sample", "Sample", true, true, "Sample"},
      {"plain file of that name", "Install Sample", "Sample", false, false, "Sample"},
      {"nothing there", "Install Sample", "Other", true, false, "Sample"},
      {"lower-case prefix uses the whole name", "install Sample", "Sample", true, false, "install Sample"},
      {"no blank uses the whole name", "InstallSample", "InstallSample", true, true, "InstallSample"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string bundle = makeBundle(c.exe);
    const std::string made = bundle + "/Contents/Resources/" + c.made;
    if (c.asFolder)
      fs::create_directories(made);
    else
      write(made, "not a folder");
    const auto b = start(bundle, c.exe);
    EXPECT_EQ(b->lookedForAppPath(), bundle + "/Contents/Resources/" + c.lookedFor);
    EXPECT_EQ(b->appPath().has_value(), c.found);
    if (c.found) {
      EXPECT_EQ(*b->appPath(), b->lookedForAppPath());
    }
    fs::remove_all(bundle);
  }
}

TEST_F(BootstrapperStartUp, ConfigIsNoneWhenMissingOrUnreadable) {
  const std::string bundle = makeBundle("Install Sample");
  EXPECT_FALSE(start(bundle, "Install Sample")->config());
  write(bundle + "/Contents/Resources/Config.plist", "this is no property list");
  EXPECT_FALSE(start(bundle, "Install Sample")->config());
}

TEST(BootstrapperMarkAsExecutable, AddsTheExecuteBitsAndKeepsTheRest) {
  Scratch scratch;
  struct Case {
    mode_t before;
    mode_t after;
  };
  const Case cases[] = {
      {0644, 0755}, {0600, 0711}, {0400, 0511}, {0755, 0755}, {0000, 0111}, {04644, 04755}, {01600, 01711},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::oct << c.before);
    const std::string file = scratch.path() + "/installer";
    fs::remove(file);
    write(file, "#!/bin/sh\n", 0600);
    ASSERT_EQ(chmod(file.c_str(), c.before), 0);
    EXPECT_TRUE(Bootstrapper::markAsExecutable(file));
    EXPECT_EQ(modeOf(file), c.after);
  }
}

TEST(BootstrapperMarkAsExecutable, ReadsThePermissionsOfALinksTarget) {
  Scratch scratch;
  const std::string target = scratch.path() + "/real-installer";
  const std::string link = scratch.path() + "/installer";
  write(target, "#!/bin/sh\n", 0640);
  ASSERT_EQ(symlink("real-installer", link.c_str()), 0);
  EXPECT_TRUE(Bootstrapper::markAsExecutable(link));
  EXPECT_EQ(modeOf(target), 0751);
  EXPECT_TRUE(fs::is_symlink(link));
}

TEST(BootstrapperMarkAsExecutable, FalseWhenThereIsNothingToChange) {
  Scratch scratch;
  EXPECT_FALSE(Bootstrapper::markAsExecutable(scratch.path() + "/missing"));
  const std::string dangling = scratch.path() + "/dangling";
  ASSERT_EQ(symlink("nowhere", dangling.c_str()), 0);
  EXPECT_FALSE(Bootstrapper::markAsExecutable(dangling));
}

}  // namespace
