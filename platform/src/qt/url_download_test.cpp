// The URL download service against the real download server on loopback
// (HTTPS with the demo TLS authority, plain HTTP, a CONNECT proxy), on a real
// Qt event loop, with a delegate that records every callback.
#include "platform/url_download.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>

#include "DownloadServer.h"
#include "proxy_environment.h"

namespace platform {
namespace {

using vantor::testing::ConnectProxy;
using vantor::testing::DownloadServer;
using vantor::testing::DownloadServerOptions;

QCoreApplication& app() {
  static int argc = 1;
  static char name[] = "url_download_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* instance = new QCoreApplication(argc, argv);
  return *instance;
}

bool runUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
  return done();
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

std::string randomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}

std::string gunzip(const std::string& in) {
  z_stream zs{};
  inflateInit2(&zs, 15 + 32);
  std::string out(in.size() * 4 + 1024, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  zs.avail_in = static_cast<uInt>(in.size());
  std::string result;
  int rc;
  do {
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    rc = inflate(&zs, Z_NO_FLUSH);
    result.append(out.data(), out.size() - zs.avail_out);
  } while (rc == Z_OK);
  inflateEnd(&zs);
  return result;
}

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/url_download_test.XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Records each callback as one line; data callbacks add up into `received`.
class RecordingDelegate : public UrlDownloadDelegate {
 public:
  explicit RecordingDelegate(std::string folder) : folder_(std::move(folder)) {}

  std::vector<std::string> events;
  std::uint64_t received = 0;
  int dataCallbacks = 0;
  std::optional<UrlResponse> response;
  std::optional<Error> error;
  std::string createdPath;
  bool finished = false;
  bool decodeAnswer = true;
  bool allowOverwrite = false;
  bool refuseRedirects = false;
  bool giveDestination = true;
  int redirectsSeen = 0;
  // Called after each data callback; return true to stop recording there.
  std::function<void(UrlDownload&)> onData;

  bool ended() const { return finished || error.has_value(); }

  std::optional<UrlRequest> willSendRequest(UrlDownload&, const UrlRequest& request,
                                            const UrlResponse* redirect) override {
    if (redirect) {
      ++redirectsSeen;
      events.push_back("redirect " + std::to_string(redirect->statusCode));
      if (refuseRedirects) return std::nullopt;
    } else {
      events.push_back("request");
    }
    return request;
  }
  void didReceiveResponse(UrlDownload&, const UrlResponse& r) override {
    response = r;
    events.push_back("response " + std::to_string(r.statusCode));
  }
  void decideDestinationWithSuggestedFilename(UrlDownload& d, const std::string& name) override {
    events.push_back("destination " + name);
    if (giveDestination) d.setDestination(folder_ + "/" + name, allowOverwrite);
  }
  void didCreateDestination(UrlDownload&, const std::string& path) override {
    createdPath = path;
    events.push_back("created");
  }
  void didReceiveDataOfLength(UrlDownload& d, std::uint64_t n) override {
    if (events.empty() || events.back() != "data") events.push_back("data");
    received += n;
    ++dataCallbacks;
    if (onData) onData(d);
  }
  bool shouldDecodeSourceDataOfMIMEType(UrlDownload&, const std::string& mime) override {
    events.push_back("decode? " + mime);
    return decodeAnswer;
  }
  void downloadDidFinish(UrlDownload&) override {
    finished = true;
    events.push_back("finish");
  }
  void didFailWithError(UrlDownload&, const Error& e) override {
    error = e;
    events.push_back("fail " + std::to_string(e.code));
  }

 private:
  std::string folder_;
};

class UrlDownloadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    app();
    // A proxy set in the environment that runs the tests must not carry
    // the loopback traffic away.
    for (const char* v : {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"})
      unsetenv(v);
  }

  void SetUp() override {
    payload_ = randomBytes(100000, 7);
    writeFile(root_.file("installer"), payload_);
    writeFile(root_.file("notes.txt"), "plain text\n");
    DownloadServerOptions options;
    options.root = root_.path();
    server_ = std::make_unique<DownloadServer>(options);
    ASSERT_TRUE(server_->ok());
    service_ = UrlDownloadService::create(
        {{DownloadServer::readFile(DownloadServer::demoCaCertificatePath())}, 16});
  }

  UrlRequest request(const std::string& url, double timeout = 30.0) {
    return UrlRequest{url, UrlRequestCachePolicy::ReloadIgnoringLocalCacheData, timeout};
  }

  // Runs one transfer to its end (or 20 s).
  std::unique_ptr<UrlDownload> fetch(RecordingDelegate& d, const std::string& url,
                                     std::shared_ptr<UrlDownloadService> service = nullptr,
                                     double timeout = 30.0) {
    auto download = (service ? service : service_)->startDownload(request(url, timeout), &d);
    EXPECT_NE(download, nullptr);
    EXPECT_TRUE(d.events.empty()) << "no callback may run inside startDownload";
    EXPECT_TRUE(runUntil([&] { return d.ended(); }, 20000)) << url;
    return download;
  }

  TempDir root_;
  TempDir out_;
  std::string payload_;
  std::unique_ptr<DownloadServer> server_;
  std::shared_ptr<UrlDownloadService> service_;
};

TEST_F(UrlDownloadTest, FetchesAFileOverHttpsWithEveryCallbackInOrder) {
  RecordingDelegate d(out_.path());
  fetch(d, server_->url("/installer", "localhost"));
  ASSERT_TRUE(d.finished) << (d.error ? d.error->localizedDescription : "");
  EXPECT_EQ(d.events, (std::vector<std::string>{"request", "response 200", "destination installer",
                                                "created", "data", "finish"}));
  EXPECT_EQ(d.response->expectedContentLength, 100000);
  EXPECT_EQ(d.response->mimeType, "application/octet-stream");
  EXPECT_EQ(d.received, 100000u);
  EXPECT_EQ(d.createdPath, out_.file("installer"));
  EXPECT_EQ(readFile(d.createdPath), payload_);
  struct stat st{};
  ASSERT_EQ(::stat(d.createdPath.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Read in pieces: the reply never holds more than its capped buffer.
  EXPECT_GE(d.dataCallbacks, 2);
  // No transfer encoding negotiated behind the delegate's back.
  const auto log = server_->requests();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].acceptEncoding, "identity");
}

TEST_F(UrlDownloadTest, FailuresCarryTheUrlErrorCodes) {
  struct Case {
    std::string url;
    int code;
    bool fileCreated;
  };
  const int closedPort = [] {
    ConnectProxy p;
    return p.port();
  }();
  const std::vector<Case> cases = {
      {server_->url("/missing"), UrlErrorFileDoesNotExist, false},
      {server_->url("/status/404/installer"), UrlErrorFileDoesNotExist, false},
      {server_->url("/status/410/installer"), UrlErrorFileDoesNotExist, false},
      {server_->url("/status/500/installer"), UrlErrorBadServerResponse, false},
      {server_->url("/status/403/installer"), UrlErrorBadServerResponse, false},
      {"https://127.0.0.1:" + std::to_string(closedPort) + "/installer", UrlErrorCannotConnectToHost, false},
      {server_->url("/drop/5000/installer"), UrlErrorNetworkConnectionLost, true},
      {server_->url("/length/+100/installer"), UrlErrorNetworkConnectionLost, true},
      {"file://" + root_.file("no-such-file"), UrlErrorFileDoesNotExist, false},
      {"ftp://127.0.0.1/installer", UrlErrorUnsupportedURL, false},
      {server_->url("/redirect-to/file://" + root_.file("installer")), UrlErrorUnsupportedURL, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    TempDir out;
    RecordingDelegate d(out.path());
    fetch(d, c.url);
    ASSERT_TRUE(d.error.has_value());
    EXPECT_EQ(d.error->domain, UrlErrorDomain);
    EXPECT_EQ(d.error->code, c.code);
    EXPECT_FALSE(d.error->localizedDescription.empty());
    EXPECT_FALSE(d.finished);
    EXPECT_EQ(!d.createdPath.empty(), c.fileCreated);
  }
}

TEST_F(UrlDownloadTest, AnHttpErrorIsReportedAfterItsResponseAndCreatesNoFile) {
  RecordingDelegate d(out_.path());
  fetch(d, server_->url("/status/404/installer"));
  EXPECT_EQ(d.events, (std::vector<std::string>{"request", "response 404", "fail -1100"}));
}

// A response header beyond what a client takes (megabytes, or one field
// just over 100 KiB) is refused before any callback after the request; a
// large but sane one still passes.
TEST_F(UrlDownloadTest, AnOversizedResponseHeaderFailsBeforeAnythingIsCreated) {
  RecordingDelegate huge(out_.path());
  fetch(huge, server_->url("/huge-header/4194304/installer"));
  EXPECT_EQ(huge.events, (std::vector<std::string>{"request", "fail -1011"}));
  EXPECT_TRUE(huge.createdPath.empty());

  RecordingDelegate justOver(out_.path());
  fetch(justOver, server_->url("/huge-header/102500/installer"));
  EXPECT_EQ(justOver.events, (std::vector<std::string>{"request", "fail -1011"}));

  RecordingDelegate large(out_.path());
  fetch(large, server_->url("/huge-header/90000/installer"));
  EXPECT_TRUE(large.finished) << (large.error ? large.error->localizedDescription : "");
  EXPECT_EQ(readFile(large.createdPath), payload_);
}

TEST_F(UrlDownloadTest, AServerCertificateFromAnotherAuthorityIsUntrusted) {
  auto other = UrlDownloadService::create(
      {{DownloadServer::readFile(DownloadServer::demoOtherCaCertificatePath())}, 16});
  RecordingDelegate d(out_.path());
  fetch(d, server_->url("/installer", "localhost"), other);
  ASSERT_TRUE(d.error.has_value());
  EXPECT_EQ(d.error->code, UrlErrorServerCertificateUntrusted);
  EXPECT_EQ(d.events, (std::vector<std::string>{"request", "fail -1202"}));
  // The shared service trusts the system store only, which knows nothing of
  // the demo authority on a plain host.
  RecordingDelegate shared(out_.path());
  fetch(shared, server_->url("/installer"), UrlDownloadService::sharedService());
  ASSERT_TRUE(shared.error.has_value());
  EXPECT_EQ(shared.error->code, UrlErrorServerCertificateUntrusted);
}

TEST_F(UrlDownloadTest, TheCertificateMustNameTheHost) {
  // The server certificate names 127.0.0.1 and localhost, not 127.0.0.2.
  DownloadServerOptions options;
  options.root = root_.path();
  options.host = "127.0.0.2";
  DownloadServer other(options);
  ASSERT_TRUE(other.ok());
  RecordingDelegate d(out_.path());
  fetch(d, other.url("/installer"));
  ASSERT_TRUE(d.error.has_value());
  EXPECT_EQ(d.error->code, UrlErrorServerCertificateUntrusted);
}

TEST_F(UrlDownloadTest, AStalledTransferTimesOutAfterItsIdleInterval) {
  RecordingDelegate d(out_.path());
  QElapsedTimer clock;
  clock.start();
  fetch(d, server_->url("/stall/installer"), nullptr, 1.0);
  ASSERT_TRUE(d.error.has_value());
  EXPECT_EQ(d.error->code, UrlErrorTimedOut);
  EXPECT_EQ(d.received, 1024u);
  EXPECT_EQ(readFile(d.createdPath).size(), 1024u) << "the partial file stays for its owner";
  EXPECT_LT(clock.elapsed(), 15000);
}

TEST_F(UrlDownloadTest, RedirectChainsAreApprovedHopByHop) {
  RecordingDelegate d(out_.path());
  fetch(d, server_->url("/redirect/3/installer"));
  ASSERT_TRUE(d.finished);
  EXPECT_EQ(d.redirectsSeen, 3);
  EXPECT_EQ(d.events, (std::vector<std::string>{"request", "redirect 302", "redirect 302", "redirect 302",
                                                "response 200", "destination installer", "created",
                                                "data", "finish"}));
  EXPECT_EQ(readFile(d.createdPath), payload_);
  EXPECT_EQ(server_->countRequests("/redirect/"), 3u);
  EXPECT_EQ(server_->countRequests("/installer"), 1u);
}

TEST_F(UrlDownloadTest, ARefusedRedirectEndsTheTransferUnsent) {
  RecordingDelegate d(out_.path());
  d.refuseRedirects = true;
  fetch(d, server_->url("/redirect/2/installer"));
  ASSERT_TRUE(d.error.has_value());
  EXPECT_EQ(d.error->code, UrlErrorCancelled);
  EXPECT_EQ(server_->requests().size(), 1u);
}

TEST_F(UrlDownloadTest, MoreHopsThanTheLimitFail) {
  auto limited = UrlDownloadService::create(
      {{DownloadServer::readFile(DownloadServer::demoCaCertificatePath())}, 2});
  RecordingDelegate ok(out_.path());
  fetch(ok, server_->url("/redirect/2/installer"), limited);
  EXPECT_TRUE(ok.finished);
  TempDir out;
  RecordingDelegate d(out.path());
  fetch(d, server_->url("/redirect/3/installer"), limited);
  ASSERT_TRUE(d.error.has_value());
  EXPECT_EQ(d.error->code, UrlErrorHTTPTooManyRedirects);
}

TEST_F(UrlDownloadTest, BodiesWithoutOrWithAShorterLength) {
  RecordingDelegate chunked(out_.path());
  fetch(chunked, server_->url("/chunked/installer"));
  ASSERT_TRUE(chunked.finished);
  EXPECT_EQ(chunked.response->expectedContentLength, -1);
  EXPECT_EQ(readFile(chunked.createdPath), payload_);

  TempDir out;
  RecordingDelegate shorter(out.path());
  fetch(shorter, server_->url("/length/-100/installer"));
  ASSERT_TRUE(shorter.finished);
  EXPECT_EQ(shorter.response->expectedContentLength, 99900);
  EXPECT_EQ(readFile(shorter.createdPath), payload_.substr(0, 99900));
}

TEST_F(UrlDownloadTest, GzipTypedBodiesAreDecodedOnlyWhenTheDelegateSaysSo) {
  RecordingDelegate decoded(out_.path());
  fetch(decoded, server_->url("/gzip/installer"));
  ASSERT_TRUE(decoded.finished);
  EXPECT_EQ(decoded.events[2], "decode? application/x-gzip");
  EXPECT_EQ(readFile(decoded.createdPath), payload_);
  // The progress counts what came over the wire, against the announced length.
  EXPECT_EQ(static_cast<std::int64_t>(decoded.received), decoded.response->expectedContentLength);

  TempDir out2;
  RecordingDelegate kept(out2.path());
  kept.decodeAnswer = false;
  fetch(kept, server_->url("/gzip/installer?type=application/gzip"));
  ASSERT_TRUE(kept.finished);
  const std::string raw = readFile(kept.createdPath);
  EXPECT_NE(raw, payload_);
  EXPECT_EQ(gunzip(raw), payload_);

  TempDir out3;
  RecordingDelegate other(out3.path());
  fetch(other, server_->url("/gzip/installer?type=application/octet-stream"));
  ASSERT_TRUE(other.finished);
  for (const auto& e : other.events) EXPECT_EQ(e.rfind("decode?", 0), std::string::npos) << e;
  EXPECT_EQ(gunzip(readFile(other.createdPath)), payload_);
}

TEST_F(UrlDownloadTest, BrokenGzipDataFailsTheTransfer) {
  // A gzip header followed by a block of the reserved type; and a sound
  // stream cut short.
  writeFile(root_.file("corrupt.gz"), std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\xff\xff\xff\xff", 14));
  {
    RecordingDelegate whole(out_.path());
    fetch(whole, server_->url("/gzip/installer"));
    ASSERT_TRUE(whole.finished);
    TempDir packed;
    RecordingDelegate raw(packed.path());
    raw.decodeAnswer = false;
    fetch(raw, server_->url("/gzip/installer"));
    writeFile(root_.file("truncated.gz"), readFile(raw.createdPath).substr(0, 5000));
  }
  for (const auto& [name, code] : std::vector<std::pair<std::string, int>>{
           {"corrupt.gz", UrlErrorDownloadDecodingFailedMidStream},
           {"truncated.gz", UrlErrorDownloadDecodingFailedToComplete}}) {
    TempDir out;
    RecordingDelegate d(out.path());
    fetch(d, server_->url("/" + name));
    ASSERT_TRUE(d.error.has_value()) << name;
    EXPECT_EQ(d.error->code, code) << name;
  }
}

TEST_F(UrlDownloadTest, ExistingNamesGetANumberBeforeTheExtension) {
  writeFile(root_.file("installer.p7"), "signature");
  writeFile(out_.file("installer.p7"), "first");
  writeFile(out_.file("installer.p7-1"), "not in the way");
  RecordingDelegate d(out_.path());
  fetch(d, server_->url("/installer.p7"));
  ASSERT_TRUE(d.finished);
  EXPECT_EQ(d.createdPath, out_.file("installer-1.p7"));
  EXPECT_EQ(readFile(d.createdPath), "signature");
  EXPECT_EQ(readFile(out_.file("installer.p7")), "first");

  RecordingDelegate again(out_.path());
  fetch(again, server_->url("/installer.p7"));
  EXPECT_EQ(again.createdPath, out_.file("installer-2.p7"));

  writeFile(out_.file("installer"), "x");
  RecordingDelegate noExtension(out_.path());
  fetch(noExtension, server_->url("/installer"));
  EXPECT_EQ(noExtension.createdPath, out_.file("installer-1"));
}

TEST_F(UrlDownloadTest, APlantedSymbolicLinkIsNeverFollowed) {
  const std::string victim = out_.file("victim");
  writeFile(victim, "keep me");
  ASSERT_EQ(::symlink(victim.c_str(), out_.file("installer").c_str()), 0);
  ASSERT_EQ(::symlink(out_.file("nowhere").c_str(), out_.file("notes.txt").c_str()), 0);

  RecordingDelegate d(out_.path());
  fetch(d, server_->url("/installer"));
  ASSERT_TRUE(d.finished);
  EXPECT_EQ(d.createdPath, out_.file("installer-1"));
  EXPECT_EQ(readFile(victim), "keep me");

  // A dangling link is not followed either: no file appears at its target.
  RecordingDelegate dangling(out_.path());
  fetch(dangling, server_->url("/notes.txt"));
  EXPECT_EQ(dangling.createdPath, out_.file("notes-1.txt"));
  EXPECT_NE(::access(out_.file("nowhere").c_str(), F_OK), 0);

  // Overwriting replaces the link itself, never its target.
  RecordingDelegate overwrite(out_.path());
  overwrite.allowOverwrite = true;
  fetch(overwrite, server_->url("/installer"));
  ASSERT_TRUE(overwrite.finished);
  EXPECT_EQ(overwrite.createdPath, out_.file("installer"));
  struct stat st{};
  ASSERT_EQ(::lstat(out_.file("installer").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(readFile(victim), "keep me");
}

TEST_F(UrlDownloadTest, SuggestedNamesNeverLeaveTheFolder) {
  struct Case {
    std::string url;
    std::string name;
  };
  const std::vector<Case> cases = {
      {server_->url("/disposition/installer?name=runtime.bin"), "runtime.bin"},
      {server_->url("/disposition/installer?name=../../etc/evil"), "evil"},
      {server_->url("/disposition/installer?name=.."), "installer"},
      {server_->url("/installer?query=1"), "installer"},
      {server_->url("/"), "download"},
  };
  writeFile(root_.file("index"), "x");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    TempDir out;
    RecordingDelegate d(out.path());
    fetch(d, c.url);
    ASSERT_GE(d.events.size(), 3u);
    // "/" is answered 404 by the server: the name is still offered before.
    if (d.finished) {
      EXPECT_EQ(d.createdPath, out.file(c.name));
    }
    if (d.response) {
      EXPECT_EQ(d.response->suggestedFilename, c.name);
    }
  }
}

TEST_F(UrlDownloadTest, CancelFromACallbackStopsEveryFurtherCallback) {
  writeFile(root_.file("large"), randomBytes(2 * 1024 * 1024, 3));
  RecordingDelegate d(out_.path());
  d.onData = [&](UrlDownload& download) {
    if (d.received >= 8192) download.cancel();
  };
  auto download = service_->startDownload(request(server_->url("/slow/large")), &d);
  ASSERT_TRUE(runUntil([&] { return d.received >= 8192; }, 10000));
  const auto eventsAtCancel = d.events;
  const int callbacksAtCancel = d.dataCallbacks;
  runUntil([] { return false; }, 500);
  EXPECT_EQ(d.events, eventsAtCancel);
  EXPECT_EQ(d.dataCallbacks, callbacksAtCancel);
  EXPECT_FALSE(d.ended());
  download->cancel();  // a second cancel does nothing
}

TEST_F(UrlDownloadTest, DestroyingTheTransferInsideItsOwnCallbackIsSafe) {
  RecordingDelegate d(out_.path());
  std::unique_ptr<UrlDownload> download;
  d.onData = [&](UrlDownload&) { download.reset(); };
  download = service_->startDownload(request(server_->url("/slow/installer")), &d);
  ASSERT_TRUE(runUntil([&] { return download == nullptr; }, 10000));
  runUntil([] { return false; }, 300);
  EXPECT_EQ(d.dataCallbacks, 1);
  EXPECT_FALSE(d.ended());
}

TEST_F(UrlDownloadTest, NoDestinationMeansNoFile) {
  RecordingDelegate d(out_.path());
  d.giveDestination = false;
  fetch(d, server_->url("/installer"));
  ASSERT_TRUE(d.error.has_value());
  EXPECT_EQ(d.error->code, UrlErrorCannotCreateFile);
}

TEST_F(UrlDownloadTest, FileUrlsAndPlainHttp) {
  RecordingDelegate file(out_.path());
  fetch(file, "file://" + root_.file("installer"));
  ASSERT_TRUE(file.finished) << (file.error ? file.error->localizedDescription : "");
  EXPECT_EQ(readFile(file.createdPath), payload_);

  DownloadServerOptions plainOptions;
  plainOptions.root = root_.path();
  plainOptions.tls = false;
  DownloadServer plain(plainOptions);
  TempDir out;
  RecordingDelegate http(out.path());
  fetch(http, plain.url("/installer"));
  ASSERT_TRUE(http.finished);
  EXPECT_EQ(readFile(http.createdPath), payload_);
}

TEST_F(UrlDownloadTest, RequestsThatCannotBeMadeGiveNoTransfer) {
  RecordingDelegate d(out_.path());
  for (const std::string url : {"", "not a url", "/relative/path", "https://h/a b"})
    EXPECT_EQ(service_->startDownload(request(url), &d), nullptr) << url;
  EXPECT_TRUE(d.events.empty());
}

TEST_F(UrlDownloadTest, HttpsGoesThroughTheProxyNamedByTheEnvironment) {
  ConnectProxy proxy;
  ASSERT_TRUE(proxy.ok());
  setenv("https_proxy", proxy.proxyUrl().c_str(), 1);
  RecordingDelegate d(out_.path());
  fetch(d, server_->url("/installer", "localhost"));
  ASSERT_TRUE(d.finished) << (d.error ? d.error->localizedDescription : "");
  EXPECT_EQ(readFile(d.createdPath), payload_);
  EXPECT_EQ(proxy.requests(),
            (std::vector<std::string>{"CONNECT localhost:" + std::to_string(server_->port())}));

  // no_proxy names the host: straight to the server.
  setenv("no_proxy", "example.test, localhost", 1);
  TempDir out;
  RecordingDelegate direct(out.path());
  fetch(direct, server_->url("/installer", "localhost"));
  EXPECT_TRUE(direct.finished);
  EXPECT_EQ(proxy.requests().size(), 1u);
  unsetenv("no_proxy");
  unsetenv("https_proxy");

  // Plain http uses http_proxy (absolute-form requests), upper case too.
  DownloadServerOptions plainOptions;
  plainOptions.root = root_.path();
  plainOptions.tls = false;
  DownloadServer plain(plainOptions);
  setenv("HTTP_PROXY", proxy.proxyUrl().c_str(), 1);
  TempDir out2;
  RecordingDelegate http(out2.path());
  fetch(http, plain.url("/installer"));
  unsetenv("HTTP_PROXY");
  ASSERT_TRUE(http.finished);
  ASSERT_EQ(proxy.requests().size(), 2u);
  EXPECT_EQ(proxy.requests()[1], "GET " + plain.url("/installer"));
}

TEST(ProxyEnvironment, ChoosesTheVariableOfTheSchemeAndHonoursNoProxy) {
  struct Case {
    std::map<std::string, std::string> env;
    std::string scheme, host;
    int port;
    std::optional<std::string> proxy;  // "kind host:port user:password"
  };
  const std::vector<Case> cases = {
      {{}, "https", "a.test", 443, std::nullopt},
      {{{"https_proxy", "http://p:3128"}}, "https", "a.test", 443, "http p:3128 :"},
      {{{"HTTPS_PROXY", "p2:8080"}}, "https", "a.test", 443, "http p2:8080 :"},
      {{{"https_proxy", "http://lower:1"}, {"HTTPS_PROXY", "http://upper:2"}}, "https", "a", 443,
       "http lower:1 :"},
      {{{"https_proxy", ""}, {"HTTPS_PROXY", "http://upper:2"}}, "https", "a", 443, "http upper:2 :"},
      {{{"http_proxy", "http://p:3128"}}, "https", "a.test", 443, std::nullopt},
      {{{"https_proxy", "http://p:3128"}}, "http", "a.test", 80, std::nullopt},
      {{{"http_proxy", "http://u:pw@p"}}, "http", "a.test", 80, "http p:1080 u:pw"},
      {{{"http_proxy", "socks5h://s:1081"}}, "http", "a", 80, "socks5 s:1081 :"},
      {{{"https_proxy", "ftp://p:21"}}, "https", "a", 443, std::nullopt},
      {{{"https_proxy", "http://[::1]:3128/"}}, "https", "a", 443, "http ::1:3128 :"},
      {{{"https_proxy", "http://p:notaport"}}, "https", "a", 443, std::nullopt},
      {{{"https_proxy", "http://p:1"}, {"no_proxy", "*"}}, "https", "a", 443, std::nullopt},
      {{{"https_proxy", "http://p:1"}, {"NO_PROXY", "vantor.test"}}, "https", "download.vantor.test", 443,
       std::nullopt},
      {{{"https_proxy", "http://p:1"}, {"no_proxy", "vantor.test"}}, "https", "evilvantor.test", 443,
       "http p:1 :"},
  };
  for (const Case& c : cases) {
    auto lookup = [&](const char* name) -> const char* {
      auto it = c.env.find(name);
      return it == c.env.end() ? nullptr : it->second.c_str();
    };
    const auto got = detail::proxyFromEnvironment(c.scheme, c.host, c.port, lookup);
    std::optional<std::string> text;
    if (got)
      text = std::string(got->kind == detail::ProxySetting::Kind::Socks5 ? "socks5 " : "http ") + got->host +
             ":" + std::to_string(got->port) + " " + got->user + ":" + got->password;
    EXPECT_EQ(text, c.proxy) << c.scheme << "://" << c.host;
  }
}

TEST(ProxyEnvironment, NoProxyEntries) {
  struct Case {
    std::string list, host;
    int port;
    bool direct;
  };
  const std::vector<Case> cases = {
      {"", "a.test", 443, false},
      {"*", "anything", 443, true},
      {"a.test", "a.test", 443, true},
      {"A.TEST", "a.test", 443, true},
      {".vantor.test", "download.vantor.test", 443, true},
      {".vantor.test", "vantor.test", 443, true},
      {"vantor.test", "xvantor.test", 443, false},
      {" x.test ,  vantor.test ", "crl.vantor.test", 443, true},
      {"vantor.test:8443", "download.vantor.test", 8443, true},
      {"vantor.test:8443", "download.vantor.test", 443, false},
      {"127.0.0.1", "127.0.0.1", 80, true},
      {"127.0.0.0/8", "127.1.2.3", 80, true},
      {"10.0.0.0/8", "127.1.2.3", 80, false},
      {"::1", "::1", 80, true},
      {"[::1]:80", "[::1]", 80, true},
      {"localhost", "localhost.", 80, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(detail::hostMatchesNoProxy(c.host, c.port, c.list), c.direct)
        << "'" << c.list << "' vs " << c.host << ":" << c.port;
}

TEST(UrlStrings, AbsoluteForms) {
  EXPECT_EQ(absoluteUrlString("HTTPS://Download.Vantor.Test:8443/vantor/3/nai/macos10.9/x86/installer"),
            "https://download.vantor.test:8443/vantor/3/nai/macos10.9/x86/installer");
  EXPECT_EQ(absoluteUrlString("file:///tmp/x"), "file:///tmp/x");
  EXPECT_EQ(absoluteUrlString("relative/x"), std::nullopt);
  EXPECT_EQ(absoluteUrlString(""), std::nullopt);
  EXPECT_EQ(makeUrlError(-1100).domain, UrlErrorDomain);
  EXPECT_EQ(makeUrlError(-1100).localizedDescription, localizedDescriptionForUrlError(-1100));
}

}  // namespace
}  // namespace platform
