// What the end-to-end tests of the download path share: "Install Sample.app"
// made by tools/make-bundle in ~/Downloads of an emulated Mac on the private
// network, the download server at download.vantor.test:8443 serving a copy of
// the demo folder (signed sample runtime installer, signature, revocation
// lists), the English first lines of the dialogs, and the checks on the log
// and on leftover files.
//
// The test target defines VANTOR_BOOTSTRAPPER_PATH, VANTOR_MAKE_BUNDLE,
// VANTOR_DEMO_SERVED_DIR and VANTOR_RUNTIME_INSTALLER_VARIANT_DIR, and links
// vantor_testing, platform_core and vantor_download_server.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DownloadServer.h"
#include "EmulatedMac.h"
#include "FixtureTree.h"
#include "platform/process.h"

namespace downloadtest {

inline constexpr char kId[] = "Install Sample";
inline constexpr char kNai[] = "/vantor/3/nai/macos10.9/x86/";
inline constexpr char kInstaller[] = "/vantor/3/nai/macos10.9/x86/installer";
inline constexpr char kSignature[] = "/vantor/3/nai/macos10.9/x86/installer.p7";
inline constexpr char kIntermediateCrl[] = "/vantor/crl/DEMO-KEYS-intermediate.crl";
inline constexpr char kRootCrl[] = "/vantor/crl/DEMO-KEYS-root.crl";
inline constexpr char kFramework[] = "/Frameworks/Brenmoor Vantor.framework";
// First lines of messages 0, 6 and 8 in English; the console stand-in writes
// the whole text after the title.
inline constexpr char kMessage0[] = "This application requires a version of Brenmoor Vantor which cannot be found.";
inline constexpr char kMessage6[] = "Unable to validate the downloaded version of Brenmoor Vantor.";
inline constexpr char kMessage8[] =
    "This application requires an update to Brenmoor Vantor that is not available for your";

// Each needle must be found in a record after the one the previous needle
// was found in; returns the first needle that is not, or "" when all are.
inline std::string missingInOrder(const std::vector<harness::SyslogRecord>& records,
                                  const std::vector<std::string>& needles) {
  std::size_t at = 0;
  for (const std::string& n : needles) {
    while (at < records.size() && records[at].message.find(n) == std::string::npos) ++at;
    if (at == records.size()) return n;
    ++at;
  }
  return "";
}

inline std::string dump(const std::vector<harness::SyslogRecord>& records) {
  std::string s;
  for (const auto& r : records) s += "  <" + std::to_string(r.priority) + "> " + r.identity + ": " + r.message + "\n";
  return s;
}

class DownloadFixture : public ::testing::Test {
 public:  // the rows of the tables arrange the fixture through these
  void SetUp() override {
    VANTOR_REQUIRE_PRIVATE_NETWORK();
    mac_ = std::make_unique<harness::EmulatedMac>();
    mac_->trustCertificate(vantor::testing::DownloadServer::demoCaCertificatePath());
    served_ = mac_->scratch() + "/served";
    harness::copyPath(VANTOR_DEMO_SERVED_DIR, served_);
    exe_ = makeBundle();
  }
  void TearDown() override {
    server_.reset();
    mac_.reset();
  }

  harness::EmulatedMac& mac() { return *mac_; }
  std::string served(const std::string& path) const { return served_ + path; }

  // Puts a test variant of the runtime installer (with its own signature) in
  // the place of the real one.
  void serveVariant(const std::string& variant) {
    namespace fs = std::filesystem;
    const std::string dir = std::string(VANTOR_RUNTIME_INSTALLER_VARIANT_DIR) + "/" + variant;
    fs::copy_file(dir + "/installer", served(kInstaller), fs::copy_options::overwrite_existing);
    fs::copy_file(dir + "/installer.p7", served(kSignature), fs::copy_options::overwrite_existing);
  }

  // Starts the server on 8443 with `aliases` (request path -> the mode's
  // address answered in its place; see DownloadServer.h).
  void startServer(std::map<std::string, std::string> aliases = {}) {
    vantor::testing::DownloadServerOptions o;
    o.root = served_;
    o.port = 8443;
    o.aliases = std::move(aliases);
    server_ = std::make_unique<vantor::testing::DownloadServer>(o);
    ASSERT_TRUE(server_->ok()) << "cannot listen on 8443";
  }

  std::string makeBundle() {
    namespace fs = std::filesystem;
    const std::string package = mac().scratch() + "/packages/Sample";
    harness::writeFile(package + "/Info.plist", harness::plistXml({{"CFBundleVersion", "1.0"}}));
    harness::writeFile(package + "/sample.txt", "the application's files\n");
    fs::create_directories(mac().home() + "/Downloads");
    const platform::ChildResult r = platform::runChildAndWait(
        "/bin/bash", {VANTOR_MAKE_BUNDLE, "--bootstrapper", VANTOR_BOOTSTRAPPER_PATH, "--package", package,
                      "--output", mac().home() + "/Downloads", "--force"});
    EXPECT_TRUE(r.started && r.status == 0) << "make-bundle failed with " << r.status;
    return mac().homePath() + "/Downloads/Install Sample.app/Contents/MacOS/Install Sample";
  }

  // Regular files below the host folder `dir` (relative paths), but for the
  // sample Application Installer's record of its arguments (it keeps that on
  // purpose) and for what `except` names (a subfolder the test filled
  // itself).
  static std::vector<std::string> regularFilesIn(const std::string& dir, const std::string& except = "") {
    namespace fs = std::filesystem;
    std::vector<std::string> left;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
      const std::string rel = e.path().lexically_relative(dir).string();
      if (!except.empty() && rel.rfind(except, 0) == 0) continue;
      if (e.is_regular_file() && e.path().filename() != "vantor-app-installer.txt") left.push_back(rel);
    }
    return left;
  }
  std::vector<std::string> leftInTmp() { return regularFilesIn(mac().tmp()); }

  std::unique_ptr<harness::EmulatedMac> mac_;
  std::unique_ptr<vantor::testing::DownloadServer> server_;
  std::string served_;
  std::string exe_;
};

}  // namespace downloadtest
