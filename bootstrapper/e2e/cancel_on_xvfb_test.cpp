// The download cancelled by a person, on a real X server: the real
// bootstrapper in the emulated Mac shows its progress window while a slow
// server trickles the runtime installer; Cancel is pressed with a real key
// event, the alert with message 0 comes up and is closed with Return, and
// the process ends with 11 having removed its partial download. With
// "-silent" no progress window shows, but the alert of a failure still does.
//
// With VANTOR_SCREENSHOT_OUT set (a host path of a .png file) the progress
// window is also captured mid-download, for the documentation.
#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DownloadServer.h"
#include "EmulatedMac.h"
#include "FixtureTree.h"
#include "child_process.h"
#include "display_run_options.h"
#include "platform/process.h"

namespace fs = std::filesystem;
using harness::EmulatedMac;

namespace {

constexpr char kInstallerPath[] = "/vantor/3/nai/macos10.9/x86/installer";

// Announces 8 MiB and sends 16 KiB every 50 ms (about 26 s): long enough for a person (or
// xdotool) to find the window and press Cancel.
class TricklingServer {
 public:
  TricklingServer()
      : server_(vantor::testing::DownloadServer::demoServerChainPath().c_str(),
                vantor::testing::DownloadServer::demoServerKeyPath().c_str()) {
    server_.Get(kInstallerPath, [this](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(8 << 20, "application/octet-stream",
                               [this](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (stopping_) return false;
                                 std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                 const std::string piece(std::min<size_t>(16384, (8 << 20) - offset), 'v');
                                 return sink.write(piece.data(), piece.size());
                               });
    });
    ok_ = server_.bind_to_port("127.0.0.1", 8443);
    if (ok_) thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~TricklingServer() {
    stopping_ = true;
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  bool ok() const { return ok_; }

 private:
  httplib::SSLServer server_;
  std::atomic<bool> stopping_{false};
  bool ok_ = false;
  std::thread thread_;
};

// "Install Sample.app" made by tools/make-bundle in ~/Downloads; returns the
// emulated path of its executable.
std::string makeBundle(EmulatedMac& mac) {
  const std::string package = mac.scratch() + "/packages/Sample";
  harness::writeFile(package + "/sample.txt", "the application's files\n");
  fs::create_directories(mac.home() + "/Downloads");
  const platform::ChildResult made = platform::runChildAndWait(
      "/bin/bash", {VANTOR_MAKE_BUNDLE, "--bootstrapper", VANTOR_BOOTSTRAPPER_PATH, "--package", package, "--output",
                    mac.home() + "/Downloads", "--force"});
  EXPECT_TRUE(made.started && made.status == 0);
  return mac.homePath() + "/Downloads/Install Sample.app/Contents/MacOS/Install Sample";
}

harness::RunOptions onDisplay(const std::string& display) {
  return displaytest::onDisplay(display, VANTOR_LSAN_SUPPRESSIONS);
}

TEST(DownloadCancelledOnXvfb, CancelShowsMessage0AndEndsWith11WithoutLeftovers) {
  VANTOR_REQUIRE_PRIVATE_NETWORK();
  testsupport::XvfbServer x;
  if (x.display().empty()) GTEST_SKIP() << "Xvfb could not be started";

  EmulatedMac mac;
  mac.trustCertificate(vantor::testing::DownloadServer::demoCaCertificatePath());
  const std::string exe = makeBundle(mac);
  TricklingServer server;
  ASSERT_TRUE(server.ok()) << "cannot listen on 8443";

  auto run = mac.startBackground({exe}, onDisplay(x.display()));

  // The window is titled with message 9 and the application's name.
  const std::string window = testsupport::onDisplay(
      x.display(), "timeout 30 xdotool search --sync --onlyvisible --name '^Installing Sample$' | head -n1");
  ASSERT_FALSE(window.empty()) << "no progress window appeared; " << run->errSoFar();
  if (const char* shot = std::getenv("VANTOR_SCREENSHOT_OUT"); shot != nullptr && *shot != '\0') {
    std::this_thread::sleep_for(std::chrono::seconds(4));  // let the bar move
    testsupport::onDisplay(x.display(), "import -window " + window + " '" + std::string(shot) + "'");
  }
  EXPECT_TRUE(run->running()) << "still downloading";

  // The Cancel button is the window's only control that takes the focus.
  testsupport::onDisplay(x.display(), "xdotool windowfocus --sync " + window + " key space");
  const std::string alert = testsupport::onDisplay(
      x.display(), "timeout 30 xdotool search --sync --onlyvisible --name '^Install Sample$' | head -n1");
  ASSERT_FALSE(alert.empty()) << "no alert after Cancel; " << run->errSoFar();
  EXPECT_TRUE(run->running()) << "the alert is modal: the process waits for OK";
  testsupport::onDisplay(x.display(), "xdotool windowfocus --sync " + alert + " key Return");

  const harness::RunResult r = run->wait(std::chrono::seconds(30));
  ASSERT_TRUE(r.exited()) << r.describe();
  EXPECT_EQ(r.exitCode, 11) << r.describe();
  run.reset();

  const std::vector<harness::SyslogRecord> log = mac.syslog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().message, "Bootstrapper end with exit code 11");
  for (const auto& e : fs::recursive_directory_iterator(mac.tmp()))
    EXPECT_FALSE(e.is_regular_file()) << "left behind: " << e.path();
}

// "-silent" keeps the progress window hidden while the download runs, but
// the alert of a failed download still comes up.
TEST(DownloadCancelledOnXvfb, SilentHidesTheProgressWindowButNotTheAlert) {
  VANTOR_REQUIRE_PRIVATE_NETWORK();
  testsupport::XvfbServer x;
  if (x.display().empty()) GTEST_SKIP() << "Xvfb could not be started";

  EmulatedMac mac;
  mac.trustCertificate(vantor::testing::DownloadServer::demoCaCertificatePath());
  const std::string exe = makeBundle(mac);
  auto server = std::make_unique<TricklingServer>();
  ASSERT_TRUE(server->ok()) << "cannot listen on 8443";

  auto run = mac.startBackground({exe, "-silent", "-allowDownload"}, onDisplay(x.display()));
  ASSERT_TRUE(mac.waitForSyslog(3, std::chrono::seconds(30))) << run->errSoFar();  // the download has begun
  // Long enough for the window to have shown in the run without "-silent".
  const std::string window = testsupport::onDisplay(
      x.display(), "timeout 4 xdotool search --sync --onlyvisible --name '^Installing Sample$' | head -n1");
  EXPECT_EQ(window, "") << "the progress window showed despite -silent";
  EXPECT_TRUE(run->running()) << "still downloading";

  server.reset();  // the transfer breaks off: a failed download
  const std::string alert = testsupport::onDisplay(
      x.display(), "timeout 30 xdotool search --sync --onlyvisible --name '^Install Sample$' | head -n1");
  ASSERT_FALSE(alert.empty()) << "no alert after the failure; " << run->errSoFar();
  testsupport::onDisplay(x.display(), "xdotool windowfocus --sync " + alert + " key Return");

  const harness::RunResult r = run->wait(std::chrono::seconds(30));
  ASSERT_TRUE(r.exited()) << r.describe();
  EXPECT_EQ(r.exitCode, 11) << r.describe();
  run.reset();
  for (const auto& e : fs::recursive_directory_iterator(mac.tmp()))
    EXPECT_FALSE(e.is_regular_file()) << "left behind: " << e.path();
}

}  // namespace
