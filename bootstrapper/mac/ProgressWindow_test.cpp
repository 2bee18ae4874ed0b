// The progress window wired to a real Downloader: in this process on Qt's
// offscreen platform (real widgets, no server), during a real download from
// the loopback server; the console line without a display; and the Cancel
// button pressed with a real key event on an X server (Xvfb), in the probe
// program that runs a list the way the bootstrapper does.
#include "ProgressWindow.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "DownloadServer.h"
#include "Downloader.h"
#include "platform/application.h"
#include "platform/run_loop.h"
#include "testdata/child_process.h"

#ifndef DOWNLOAD_PROBE_PATH
#error "DOWNLOAD_PROBE_PATH must name vantor-download-probe"
#endif

namespace {

using vantor::testing::DownloadServer;
using vantor::testing::DownloadServerOptions;

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/progress_window_test.XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct Snapshot {
  bool visible = false;
  std::string title, text, buttonTitle;
  bool enabled = false;
  double bar = -1, progress = -1;
};

// Looks at the window while the transfer runs, once past the threshold.
class WatchedDownloader : public Downloader {
 public:
  using Downloader::Downloader;
  ProgressWindowController* controller = nullptr;
  std::optional<Snapshot> during;
  void didReceiveDataOfLength(platform::UrlDownload& d, std::uint64_t n) override {
    Downloader::didReceiveDataOfLength(d, n);
    if (!during && currentProgressPercent() > 0 && controller) {
      auto& f = controller->interfaceFile();
      Snapshot s;
      s.visible = f.window()->isVisible();
      s.title = f.window()->title();
      s.text = f.textField("pleaseWaitText")->stringValue();
      s.buttonTitle = f.button("cancelButton")->title();
      s.enabled = f.button("cancelButton")->isEnabled();
      s.bar = f.progressIndicator("progressBar")->doubleValue();
      s.progress = currentProgressPercent();
      during = s;
    }
  }
};

class ProgressWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::Application::sharedApplication().hasDisplay())
        << "runs on the offscreen platform (QT_QPA_PLATFORM=offscreen)";
    setenv("TMPDIR", tmp_.path().c_str(), 1);
    std::mt19937 gen(1);
    std::string data(512 * 1024, '\0');
    for (auto& c : data) c = static_cast<char>(gen());
    std::ofstream(root_.path() + "/large", std::ios::binary) << data;
    DownloadServerOptions options;
    options.root = root_.path();
    options.slowPieceBytes = 32 * 1024;
    options.slowPieceDelayMs = 20;
    server_ = std::make_unique<DownloadServer>(options);
    ASSERT_TRUE(server_->ok());
    service_ = platform::UrlDownloadService::create(
        {{DownloadServer::readFile(DownloadServer::demoCaCertificatePath())}, 16});
  }
  void TearDown() override { unsetenv("TMPDIR"); }

  void runList(Downloader& d, const std::string& path) {
    bool done = false;
    platform::NotificationCenter::defaultCenter().addObserver(
        this, "InstallerDownloadDone", &d, [&](const platform::Notification&) { done = true; });
    d.setUrlStrings(std::make_shared<const std::vector<std::string>>(std::vector<std::string>{server_->url(path)}));
    d.startDownload("InstallerDownloadDone");
    EXPECT_TRUE(platform::runLoopUntil([&] { return done; }, 30));
    platform::NotificationCenter::defaultCenter().removeObserver(this);
  }

  TempDir root_, tmp_;
  std::unique_ptr<DownloadServer> server_;
  std::shared_ptr<platform::UrlDownloadService> service_;
};

TEST_F(ProgressWindowTest, TheWindowFollowsTheDownloader) {
  WatchedDownloader d(service_);
  auto controller = ProgressWindowController::connect(d, [] { return std::string("Install Sample"); });
  d.controller = controller.get();
  auto& file = controller->interfaceFile();
  ASSERT_NE(file.window(), nullptr);
  ASSERT_NE(file.textField("pleaseWaitText"), nullptr);
  ASSERT_NE(file.progressIndicator("progressBar"), nullptr);
  ASSERT_NE(file.button("cancelButton"), nullptr);
  EXPECT_EQ(d.progressWindow(), controller.get());
  EXPECT_EQ(d.progressBar(), file.progressIndicator("progressBar"));
  EXPECT_EQ(d.cancelButton(), file.button("cancelButton"));
  EXPECT_FALSE(file.window()->isVisible()) << "not shown at start";
  EXPECT_FALSE(file.button("cancelButton")->isEnabled());

  // The texts arrive after the interface was loaded, as in the program.
  d.setLocalizedPleaseWait("Bitte warten...");
  d.setLocalizedCancel("Abbrechen");
  runList(d, "/slow/large");
  ASSERT_TRUE(d.during.has_value()) << "no progress was published";
  EXPECT_TRUE(d.during->visible);
  EXPECT_EQ(d.during->title, "Install Sample");
  EXPECT_EQ(d.during->text, "Bitte warten...");
  EXPECT_EQ(d.during->buttonTitle, "Abbrechen");
  EXPECT_TRUE(d.during->enabled);
  EXPECT_GT(d.during->progress, 0.0);
  EXPECT_DOUBLE_EQ(d.during->bar, d.during->progress) << "the bar follows the observable value";

  EXPECT_FALSE(file.window()->isVisible());
  EXPECT_FALSE(file.button("cancelButton")->isEnabled());
  EXPECT_EQ(file.progressIndicator("progressBar")->doubleValue(), 0.0);
}

TEST_F(ProgressWindowTest, SilentKeepsTheWindowHidden) {
  WatchedDownloader d(service_);
  auto controller = ProgressWindowController::connect(d, [] { return std::string("Install Sample"); });
  d.controller = controller.get();
  d.setSilent(true);
  runList(d, "/slow/large");
  ASSERT_TRUE(d.during.has_value());
  EXPECT_FALSE(d.during->visible);
  EXPECT_TRUE(d.during->enabled);
}

TEST_F(ProgressWindowTest, ReleasingTheControllerDisconnectsIt) {
  Downloader d(service_);
  {
    auto controller = ProgressWindowController::connect(d, nullptr);
    EXPECT_NE(d.progressWindow(), nullptr);
  }
  EXPECT_EQ(d.progressWindow(), nullptr);
  EXPECT_EQ(d.progressBar(), nullptr);
  EXPECT_EQ(d.cancelButton(), nullptr);
  EXPECT_TRUE(d.setValue("currentProgressPercent", 50.0));  // no observer left behind
}

TEST_F(ProgressWindowTest, WithoutWidgetsATerminalGetsOneProgressLine) {
  Downloader d(service_);
  d.setLocalizedPleaseWait("Please wait...");
  // Standard error through a pipe for the length of the test.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const int saved = ::dup(2);
  ::dup2(fds[1], 2);
  {
    ProgressWindowController console(d, std::make_unique<platform::InterfaceFile>(), nullptr, true);
    d.setValue("currentProgressPercent", 12.0);  // not shown yet: no output
    console.makeKeyAndOrderFront();
    d.setValue("currentProgressPercent", 16.385);
    d.setValue("currentProgressPercent", 16.4);  // same whole percent: not redrawn
    d.setValue("currentProgressPercent", 100.0);
    console.close();
    ProgressWindowController quiet(d, std::make_unique<platform::InterfaceFile>(), nullptr, false);
    quiet.makeKeyAndOrderFront();
    d.setValue("currentProgressPercent", 50.0);
    quiet.close();
  }
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  ::close(fds[1]);
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  EXPECT_EQ(out, "\rPlease wait...  12%\rPlease wait...  16%\rPlease wait... 100%\n");
}

// ---- on a real X server ----------------------------------------------------

TEST(ProgressWindowOnXvfb, TheCancelButtonStopsTheDownload) {
  testsupport::XvfbServer x;
  if (x.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
  TempDir root, tmp;
  {
    std::ofstream out(root.path() + "/large", std::ios::binary);
    out << std::string(4 * 1024 * 1024, 'v');
  }
  DownloadServerOptions options;
  options.root = root.path();
  options.slowPieceBytes = 4096;
  options.slowPieceDelayMs = 100;
  DownloadServer server(options);
  ASSERT_TRUE(server.ok());
  const std::string result = tmp.path() + "/result";
  // The probe writes its answers to a file: BackgroundChild drops its output.
  testsupport::BackgroundChild child(
      {"/bin/sh", "-c",
       std::string("exec '") + DOWNLOAD_PROBE_PATH + "' --window 'Install Sample' --ca '" +
           DownloadServer::demoCaCertificatePath() + "' InstallerDownloadDone '" + server.url("/slow/large") +
           "' '" + server.url("/large") + "' > '" + result + "'"},
      testsupport::environmentWith({{"DISPLAY", x.display()}, {"TMPDIR", tmp.path()}},
                                   {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY"}));
  ASSERT_TRUE(child.started());
  const std::string window = testsupport::onDisplay(
      x.display(), "timeout 20 xdotool search --sync --onlyvisible --name '^Install Sample$' | head -n1");
  ASSERT_FALSE(window.empty()) << "no progress window appeared";
  EXPECT_EQ(child.waitFor(std::chrono::milliseconds(300)), -1) << "still downloading";
  // The Cancel button is the window's only control that takes the focus.
  testsupport::onDisplay(x.display(), "xdotool windowfocus --sync " + window + " key space");
  EXPECT_EQ(child.waitFor(std::chrono::seconds(20)), 0);
  std::ifstream in(result);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(all.find("success=0\n"), std::string::npos) << all;
  EXPECT_NE(all.find("index=0\n"), std::string::npos) << all;
  EXPECT_NE(all.find("notifications=1\n"), std::string::npos) << all;
  EXPECT_EQ(server.countRequests("/large"), 0u) << "the second URL was not tried";
}

}  // namespace
