// The Downloader on a real event loop against the real download server on
// loopback over HTTPS (the demo TLS authority added to the service's trust),
// with recording stand-ins for its window, bar and button. Temporary files go
// to a folder of each test (TMPDIR). The log records it writes are checked in
// the emulated Mac (Downloader_e2e_test.cpp), where the real system log is
// captured.
#include "Downloader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "DownloadServer.h"
#include "platform/notification.h"
#include "platform/run_loop.h"

namespace {

using vantor::testing::ConnectProxy;
using vantor::testing::DownloadServer;
using vantor::testing::DownloadServerOptions;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

bool exists(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string randomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/downloader_test.XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

class FakeWindow : public platform::Window {
 public:
  void setTitle(const std::string& t) override { title_ = t; }
  std::string title() const override { return title_; }
  void makeKeyAndOrderFront() override {
    ++shows;
    visible_ = true;
  }
  void close() override {
    ++closes;
    visible_ = false;
  }
  bool isVisible() const override { return visible_; }
  int shows = 0;
  int closes = 0;

 private:
  std::string title_;
  bool visible_ = false;
};

class FakeButton : public platform::Button {
 public:
  void setTitle(const std::string& t) override { title_ = t; }
  std::string title() const override { return title_; }
  void setEnabled(bool e) override {
    enabled_ = e;
    history.push_back(e);
  }
  bool isEnabled() const override { return enabled_; }
  void setAction(std::function<void()> a) override { action_ = std::move(a); }
  std::vector<bool> history;

 private:
  std::string title_;
  bool enabled_ = false;
  std::function<void()> action_;
};

struct Delivered {
  std::string name;
  const void* object = nullptr;
  bool success = false;
  platform::SharedStringList files;    // the live list
  std::vector<std::string> filesThen;  // its content at delivery
};

// A Downloader whose user presses Cancel once `cancelAfterBytes` arrived.
class CancellingDownloader : public Downloader {
 public:
  using Downloader::Downloader;
  std::int64_t cancelAfterBytes = -1;
  void didReceiveDataOfLength(platform::UrlDownload& d, std::uint64_t n) override {
    Downloader::didReceiveDataOfLength(d, n);
    if (cancelAfterBytes >= 0 && bytesReceived() >= cancelAfterBytes) {
      cancelAfterBytes = -1;
      stopDownLoad(this);
    }
  }
};

class DownloaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* v : {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"})
      unsetenv(v);
  }

  void SetUp() override {
    setenv("TMPDIR", tmp_.path().c_str(), 1);
    installer_ = randomBytes(100000, 11);
    writeFile(root_.file("installer"), installer_);
    writeFile(root_.file("installer.p7"), "detached signature bytes");
    writeFile(root_.file("large"), randomBytes(1024 * 1024, 5));
    DownloadServerOptions options;
    options.root = root_.path();
    server_ = std::make_unique<DownloadServer>(options);
    ASSERT_TRUE(server_->ok());
    service_ = platform::UrlDownloadService::create(
        {{DownloadServer::readFile(DownloadServer::demoCaCertificatePath())}, 16});
    downloader_ = std::make_unique<CancellingDownloader>(service_);
    wire(*downloader_);
  }

  void TearDown() override {
    for (Downloader* d : observed_) platform::NotificationCenter::defaultCenter().removeObserver(d);
    downloader_.reset();
    // Nothing queued may leak into the next test.
    platform::runLoopUntil([] { return platform::NotificationQueue::defaultQueue().pendingCount() == 0; }, 2);
    unsetenv("TMPDIR");
  }

  void wire(Downloader& d) {
    d.setProgressWindow(&window_);
    d.setCancelButton(&button_);
    d.addObserver("currentProgressPercent", [this](const std::string&, const platform::Value& v) {
      progress_.push_back(platform::doubleFromValue(v));
    });
    for (const char* name : {"InstallerDownloadDone", "CrlDownloadDone", "OtherDownloadDone"}) {
      platform::NotificationCenter::defaultCenter().addObserver(
          &d, name, &d, [this](const platform::Notification& n) {
            Delivered r;
            r.name = n.name;
            r.object = n.object;
            if (const bool* s = n.get<bool>(DownloaderKeySuccess)) r.success = *s;
            if (const auto* f = n.get<platform::SharedStringList>(DownloaderKeyFiles)) {
              r.files = *f;
              if (*f) r.filesThen = **f;
            }
            delivered_.push_back(std::move(r));
          });
    }
    observed_.push_back(&d);
  }

  // Runs one list to its notification, then a little longer to catch a
  // second one that must not come.
  void run(Downloader& d, const std::vector<std::string>& urls,
           const std::string& name = "InstallerDownloadDone") {
    delivered_.clear();
    d.setUrlStrings(std::make_shared<const std::vector<std::string>>(urls));
    d.startDownload(name);
    ASSERT_TRUE(platform::runLoopUntil([this] { return !delivered_.empty(); }, 30)) << "no notification";
    platform::runLoopFor(0.3);
    ASSERT_EQ(delivered_.size(), 1u) << "exactly one notification per list";
    EXPECT_EQ(delivered_[0].name, name);
    EXPECT_EQ(delivered_[0].object, static_cast<const void*>(&d));
    EXPECT_EQ(delivered_[0].files, d.resultPaths()) << "the live list, not a copy";
  }

  std::string url(const std::string& path) { return server_->url(path, "localhost"); }

  TempDir root_;
  TempDir tmp_;
  std::string installer_;
  std::unique_ptr<DownloadServer> server_;
  std::shared_ptr<platform::UrlDownloadService> service_;
  FakeWindow window_;
  FakeButton button_;
  std::vector<double> progress_;
  std::vector<Delivered> delivered_;
  std::vector<Downloader*> observed_;
  std::unique_ptr<CancellingDownloader> downloader_;
};

TEST_F(DownloaderTest, StartsIdleWithProgressZero) {
  Downloader d(service_);
  EXPECT_EQ(d.currentProgressPercent(), 0.0);
  EXPECT_EQ(d.valueForKey("currentProgressPercent"), platform::Value(0.0));
  EXPECT_EQ(d.currentUrlIndex(), 0);
  ASSERT_NE(d.resultPaths(), nullptr);
  EXPECT_TRUE(d.resultPaths()->empty());
  EXPECT_TRUE(d.cleanupPaths().empty());
  EXPECT_FALSE(d.ignoreFailures());
  EXPECT_FALSE(d.silent());
  EXPECT_FALSE(d.lastError().has_value());
  EXPECT_FALSE(d.hasTransfer());
  d.setRuntimeArgs(std::nullopt);
  EXPECT_TRUE(d.runtimeArgs().empty());
  std::vector<std::string> args = {"-silent", "-location", "/Applications"};
  d.setRuntimeArgs(args);
  args.clear();
  EXPECT_EQ(d.runtimeArgs(), (std::vector<std::string>{"-silent", "-location", "/Applications"}));
}

TEST_F(DownloaderTest, TwoUrlsSucceedInOrderWithOneNotification) {
  Downloader& d = *downloader_;
  run(d, {url("/installer"), url("/installer.p7")});
  EXPECT_TRUE(delivered_[0].success);
  const std::vector<std::string> expected = {tmp_.file("installer"), tmp_.file("installer.p7")};
  EXPECT_EQ(delivered_[0].filesThen, expected);
  EXPECT_EQ(readFile(expected[0]), installer_);
  EXPECT_EQ(readFile(expected[1]), "detached signature bytes");
  EXPECT_EQ(d.cleanupPaths(), expected);
  EXPECT_EQ(d.currentUrlIndex(), 2);
  EXPECT_FALSE(d.lastError().has_value());
  EXPECT_FALSE(d.hasTransfer());
  // Shown for each URL, closed at the end; the button is live only meanwhile.
  EXPECT_EQ(window_.shows, 2);
  EXPECT_FALSE(window_.isVisible());
  ASSERT_FALSE(button_.history.empty());
  EXPECT_EQ(button_.history.front(), true);
  EXPECT_FALSE(button_.isEnabled());
  EXPECT_EQ(d.currentProgressPercent(), 0.0) << "reset when the list ends";
  // Every request reloads from the server.
  EXPECT_EQ(server_->countRequests("/installer"), 2u);
}

TEST_F(DownloaderTest, AFirstFailureEndsTheListWithoutTryingTheRest) {
  Downloader& d = *downloader_;
  run(d, {url("/status/404/installer"), url("/installer.p7")});
  EXPECT_FALSE(delivered_[0].success);
  EXPECT_TRUE(delivered_[0].filesThen.empty());
  ASSERT_TRUE(d.lastError().has_value());
  EXPECT_EQ(d.lastError()->domain, platform::UrlErrorDomain);
  EXPECT_EQ(d.lastError()->code, -1100);
  EXPECT_EQ(server_->countRequests("/installer.p7"), 0u);
  EXPECT_EQ(d.currentUrlIndex(), 1);
  EXPECT_FALSE(window_.isVisible());
  EXPECT_FALSE(button_.isEnabled());
}

TEST_F(DownloaderTest, IgnoringFailuresRunsTheListToItsEnd) {
  Downloader& d = *downloader_;
  d.setIgnoreFailures(true);
  run(d, {url("/installer"), url("/status/410/x.crl"), url("/installer.p7")}, "CrlDownloadDone");
  EXPECT_TRUE(delivered_[0].success);
  EXPECT_EQ(delivered_[0].filesThen,
            (std::vector<std::string>{tmp_.file("installer"), tmp_.file("installer.p7")}));
  ASSERT_TRUE(d.lastError().has_value());
  EXPECT_EQ(d.lastError()->code, -1100);
  EXPECT_EQ(d.currentUrlIndex(), 3);
}

TEST_F(DownloaderTest, IgnoringFailuresWhenEveryUrlFails) {
  Downloader& d = *downloader_;
  d.setIgnoreFailures(true);
  // The dropped connection fails after its file was created: that path is
  // listed (and later removed by cleanupTempFiles); the others made none.
  run(d, {url("/status/404/a.crl"), url("/drop/5000/large"), url("/status/500/b.crl")}, "CrlDownloadDone");
  EXPECT_TRUE(delivered_[0].success);
  EXPECT_EQ(delivered_[0].filesThen, (std::vector<std::string>{tmp_.file("large")}));
  ASSERT_TRUE(d.lastError().has_value());
  EXPECT_EQ(d.lastError()->code, -1011) << "the most recent failure";
  d.cleanupTempFiles();
  EXPECT_FALSE(exists(tmp_.file("large")));
}

TEST_F(DownloaderTest, CancelDuringTheFirstUrl) {
  CancellingDownloader& d = *downloader_;
  d.cancelAfterBytes = 1;
  run(d, {url("/slow/large"), url("/installer.p7")});
  EXPECT_FALSE(delivered_[0].success);
  EXPECT_EQ(d.currentUrlIndex(), 0);
  EXPECT_EQ(server_->countRequests("/installer.p7"), 0u);
  EXPECT_EQ(delivered_[0].filesThen, (std::vector<std::string>{tmp_.file("large")}));
  EXPECT_FALSE(window_.isVisible());
  EXPECT_FALSE(button_.isEnabled());
  EXPECT_FALSE(d.lastError().has_value()) << "a cancel is not a failure";
  EXPECT_TRUE(d.hasTransfer()) << "released only when the next transfer starts";
  // Nothing more comes from the cancelled transfer.
  const std::int64_t bytes = d.bytesReceived();
  platform::runLoopFor(0.5);
  EXPECT_EQ(d.bytesReceived(), bytes);
  EXPECT_EQ(delivered_.size(), 1u);
}

TEST_F(DownloaderTest, WithoutALengthTheProgressStaysZero) {
  Downloader& d = *downloader_;
  progress_.clear();
  run(d, {url("/chunked/large")});
  EXPECT_TRUE(delivered_[0].success);
  EXPECT_EQ(readFile(tmp_.file("large")).size(), 1024u * 1024u);
  ASSERT_FALSE(progress_.empty());
  for (double p : progress_) EXPECT_EQ(p, 0.0);
}

TEST_F(DownloaderTest, WithALengthTheBarFollowsThroughTheObservablePath) {
  Downloader& d = *downloader_;
  progress_.clear();
  run(d, {url("/large")});
  std::vector<double> nonZero;
  for (double p : progress_)
    if (p != 0.0) nonZero.push_back(p);
  ASSERT_GE(nonZero.size(), 2u);
  EXPECT_GT(nonZero.front(), 16384.0 / (1024 * 1024) * 100.0);
  EXPECT_TRUE(std::is_sorted(nonZero.begin(), nonZero.end()));
  EXPECT_DOUBLE_EQ(nonZero.back(), 100.0);
}

TEST_F(DownloaderTest, ProgressIsPublishedOnlyPastTheThreshold) {
  // The callbacks fed directly: the numbers are the point here.
  Downloader d(service_);
  std::vector<double> seen;
  d.addObserver("currentProgressPercent",
                [&](const std::string&, const platform::Value& v) { seen.push_back(platform::doubleFromValue(v)); });
  platform::UrlDownload transfer(nullptr);
  platform::UrlResponse response;
  response.expectedContentLength = 100000;
  d.didReceiveResponse(transfer, response);
  EXPECT_EQ(d.expectedBytes(), 100000);
  struct Step {
    std::uint64_t length;
    double percent;
    std::size_t published;  // observer calls so far
  };
  const std::vector<Step> steps = {
      {16000, 0.0, 1}, {384, 0.0, 1}, {1, 16.385, 2}, {83615, 100.0, 3}, {100000, 200.0, 4}};
  for (const Step& s : steps) {
    d.didReceiveDataOfLength(transfer, s.length);
    EXPECT_DOUBLE_EQ(d.currentProgressPercent(), s.percent) << d.bytesReceived();
    EXPECT_EQ(seen.size(), s.published) << d.bytesReceived();
  }
  // A second response for the same transfer starts over.
  response.expectedContentLength = -1;
  d.didReceiveResponse(transfer, response);
  EXPECT_EQ(d.bytesReceived(), 0);
  EXPECT_EQ(d.currentProgressPercent(), 0.0);
  d.didReceiveDataOfLength(transfer, 50000);
  EXPECT_EQ(d.currentProgressPercent(), 0.0);
  // The plain setter stores without telling anyone.
  const std::size_t before = seen.size();
  d.setCurrentProgressPercent(42.0);
  EXPECT_EQ(seen.size(), before);
  EXPECT_TRUE(d.setValue("currentProgressPercent", 43.0));
  EXPECT_EQ(seen.size(), before + 1);
  EXPECT_EQ(seen.back(), 43.0);
}

TEST_F(DownloaderTest, DecodesExactlyTheTwoGzipTypes) {
  Downloader d(service_);
  platform::UrlDownload transfer(nullptr);
  const std::vector<std::pair<std::string, bool>> cases = {
      {"application/gzip", true},         {"application/x-gzip", true},
      {"Application/gzip", false},        {"application/x-gzip2", false},
      {"application/octet-stream", false}, {"", false}};
  for (const auto& [type, decode] : cases) EXPECT_EQ(d.shouldDecodeSourceDataOfMIMEType(transfer, type), decode) << type;
}

TEST_F(DownloaderTest, GzipTypedDataIsStoredDecodedOtherTypesAsDelivered) {
  Downloader& d = *downloader_;
  run(d, {url("/gzip/installer"), url("/gzip/installer.p7?type=application/octet-stream")});
  ASSERT_TRUE(delivered_[0].success);
  ASSERT_EQ(delivered_[0].filesThen.size(), 2u);
  EXPECT_EQ(readFile(delivered_[0].filesThen[0]), installer_);
  const std::string raw = readFile(delivered_[0].filesThen[1]);
  ASSERT_GE(raw.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(raw[0]), 0x1f) << "still gzip data";
  EXPECT_EQ(static_cast<unsigned char>(raw[1]), 0x8b);
}

TEST_F(DownloaderTest, AnExistingNameGivesAUniqueNameThatIsTheOneListed) {
  writeFile(tmp_.file("installer"), "someone else's");
  const std::string victim = tmp_.file("victim");
  writeFile(victim, "not to be touched");
  ASSERT_EQ(::symlink(victim.c_str(), tmp_.file("installer.p7").c_str()), 0);
  Downloader& d = *downloader_;
  run(d, {url("/installer"), url("/installer.p7")});
  ASSERT_TRUE(delivered_[0].success);
  EXPECT_EQ(delivered_[0].filesThen,
            (std::vector<std::string>{tmp_.file("installer-1"), tmp_.file("installer-1.p7")}));
  EXPECT_EQ(readFile(tmp_.file("installer-1")), installer_);
  EXPECT_EQ(readFile(tmp_.file("installer")), "someone else's");
  EXPECT_EQ(readFile(victim), "not to be touched") << "the planted link was not followed";
}

TEST_F(DownloaderTest, SilentNeverShowsTheWindowButStillDrivesTheButton) {
  Downloader& d = *downloader_;
  d.setSilent(true);
  run(d, {url("/installer"), url("/installer.p7")});
  EXPECT_TRUE(delivered_[0].success);
  EXPECT_EQ(window_.shows, 0);
  EXPECT_GE(window_.closes, 1);
  EXPECT_EQ(std::count(button_.history.begin(), button_.history.end(), true), 2);
  EXPECT_FALSE(button_.isEnabled());
}

TEST_F(DownloaderTest, AnotherNotificationNameChangesNothingElse) {
  Downloader& d = *downloader_;
  run(d, {url("/installer")}, "OtherDownloadDone");
  EXPECT_TRUE(delivered_[0].success);
  EXPECT_EQ(delivered_[0].filesThen, (std::vector<std::string>{tmp_.file("installer")}));
}

TEST_F(DownloaderTest, SetUrlStringsEmptiesTheDeliveredList) {
  Downloader& d = *downloader_;
  run(d, {url("/installer"), url("/installer.p7")});
  const platform::SharedStringList delivered = delivered_[0].files;
  ASSERT_EQ(delivered->size(), 2u);
  auto next = std::make_shared<const std::vector<std::string>>(std::vector<std::string>{url("/large")});
  d.setUrlStrings(next);
  EXPECT_TRUE(delivered->empty());
  EXPECT_EQ(d.urlStrings(), next) << "the caller's list itself";
  EXPECT_EQ(d.currentUrlIndex(), 0);
  EXPECT_EQ(d.cleanupPaths().size(), 2u) << "the files are still remembered for clean-up";
}

TEST_F(DownloaderTest, CleanupSkipsAVanishedPathAndEmptiesTheList) {
  Downloader& d = *downloader_;
  run(d, {url("/installer"), url("/installer.p7")});
  run(d, {url("/large")}, "CrlDownloadDone");
  ASSERT_EQ(d.cleanupPaths().size(), 3u);
  ASSERT_EQ(::unlink(tmp_.file("installer").c_str()), 0);
  d.cleanupTempFiles();
  EXPECT_TRUE(d.cleanupPaths().empty());
  EXPECT_FALSE(exists(tmp_.file("installer.p7")));
  EXPECT_FALSE(exists(tmp_.file("large")));
}

TEST_F(DownloaderTest, LastErrorOutlivesLaterLists) {
  Downloader& d = *downloader_;
  d.setIgnoreFailures(true);
  run(d, {url("/status/404/a.crl")}, "CrlDownloadDone");
  EXPECT_TRUE(delivered_[0].success);
  d.setIgnoreFailures(false);
  run(d, {url("/installer")});
  EXPECT_TRUE(delivered_[0].success);
  ASSERT_TRUE(d.lastError().has_value());
  EXPECT_EQ(d.lastError()->code, -1100);
}

TEST_F(DownloaderTest, AnUntrustedServerFailsWith1202) {
  auto other = platform::UrlDownloadService::create(
      {{DownloadServer::readFile(DownloadServer::demoOtherCaCertificatePath())}, 16});
  Downloader d(other);
  wire(d);
  run(d, {url("/installer")});
  EXPECT_FALSE(delivered_[0].success);
  ASSERT_TRUE(d.lastError().has_value());
  EXPECT_EQ(d.lastError()->code, -1202);
  EXPECT_TRUE(delivered_[0].filesThen.empty());
}

TEST_F(DownloaderTest, AUrlThatCannotBeFetchedEndsLikeAFailedTransfer) {
  Downloader& d = *downloader_;
  run(d, {"not a url", url("/installer")});
  EXPECT_FALSE(delivered_[0].success);
  ASSERT_TRUE(d.lastError().has_value());
  EXPECT_EQ(d.lastError()->code, platform::UrlErrorBadURL);
  EXPECT_EQ(server_->countRequests("/installer"), 0u);
  EXPECT_FALSE(button_.isEnabled());

  d.setIgnoreFailures(true);
  run(d, {"not a url", url("/installer")});
  EXPECT_TRUE(delivered_[0].success);
  EXPECT_EQ(delivered_[0].filesThen, (std::vector<std::string>{tmp_.file("installer")}));
}

TEST_F(DownloaderTest, DownloadsThroughTheProxyOfTheEnvironment) {
  ConnectProxy proxy;
  ASSERT_TRUE(proxy.ok());
  setenv("https_proxy", proxy.proxyUrl().c_str(), 1);
  Downloader& d = *downloader_;
  run(d, {url("/installer")});
  unsetenv("https_proxy");
  EXPECT_TRUE(delivered_[0].success);
  EXPECT_EQ(readFile(tmp_.file("installer")), installer_);
  EXPECT_EQ(proxy.requests(),
            (std::vector<std::string>{"CONNECT localhost:" + std::to_string(server_->port())}));
}

TEST_F(DownloaderTest, RedirectsAreFollowed) {
  Downloader& d = *downloader_;
  run(d, {url("/redirect/3/installer")});
  EXPECT_TRUE(delivered_[0].success);
  EXPECT_EQ(readFile(tmp_.file("installer")), installer_);
}

}  // namespace
