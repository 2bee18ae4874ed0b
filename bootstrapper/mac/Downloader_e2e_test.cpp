// The Downloader's log records as the system log receives them: the real
// Downloader in a program (vantor-download-probe) inside the emulated Mac,
// fetching over HTTPS from the download server of this test at
// download.vantor.test:8443 on the private loopback network, the demo TLS
// authority trusted through the emulated Mac's certificate folder. Each case
// checks the records byte for byte (text, priority, facility) and the one
// notification.
#include <syslog.h>

#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "DownloadServer.h"
#include "EmulatedMac.h"

#ifndef DOWNLOAD_PROBE_PATH
#error "DOWNLOAD_PROBE_PATH must name vantor-download-probe"
#endif

namespace {

using harness::EmulatedMac;
using vantor::testing::DownloadServer;
using vantor::testing::DownloadServerOptions;

constexpr char kServer[] = "https://download.vantor.test:8443";

std::map<std::string, std::string> keyValues(const std::string& out) {
  std::map<std::string, std::string> kv;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return kv;
}

std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < s.size()) {
    const auto comma = s.find(',', start);
    parts.push_back(s.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts;
}

struct Record {
  int priority;
  std::string message;
  bool operator==(const Record&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Record& r) {
  return os << "<" << r.priority << "> " << r.message;
}

Record info(std::string m) { return {LOG_NOTICE, std::move(m)}; }
Record error(std::string m) { return {LOG_ERR, std::move(m)}; }

class DownloaderE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (auto reason = EmulatedMac::unavailableReason()) {
      skipReason_ = *reason;
      return;
    }
    if (auto reason = EmulatedMac::enterPrivateNetwork()) skipReason_ = "no private network: " + *reason;
  }

  void SetUp() override {
    if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
    std::mt19937 gen(3);
    std::string installer(200000, '\0');
    for (auto& c : installer) c = static_cast<char>(gen());
    std::ofstream(root_ + "/installer", std::ios::binary) << installer;
    std::ofstream(root_ + "/installer.p7", std::ios::binary) << "signature";
    std::ofstream(root_ + "/a.crl", std::ios::binary) << "crl";
    DownloadServerOptions options;
    options.root = root_;
    options.port = 8443;
    server_ = std::make_unique<DownloadServer>(options);
    ASSERT_TRUE(server_->ok()) << "port 8443 of the private network is taken";
    mac_ = std::make_unique<EmulatedMac>();
    mac_->trustCertificate(DownloadServer::demoCaCertificatePath());
  }

  void TearDown() override {
    mac_.reset();
    server_.reset();
    if (!root_.empty()) std::system(("rm -rf '" + root_ + "'").c_str());
  }

  // Runs the probe; returns its key=value answers.
  std::map<std::string, std::string> probe(std::vector<std::string> args) {
    args.insert(args.begin(), DOWNLOAD_PROBE_PATH);
    mac_->clearSyslog();
    const auto r = mac_->run(args);
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(r.err, "") << "no diagnostics besides the log";
    return keyValues(r.out);
  }

  std::vector<Record> records() {
    std::vector<Record> out;
    for (const auto& r : mac_->syslog()) {
      EXPECT_EQ(r.facility, LOG_USER) << r.raw;
      EXPECT_EQ(r.identity, "vantor-download-probe") << r.raw;
      out.push_back({r.priority, r.message});
    }
    return out;
  }

  std::string root_ = [] {
    char tmpl[] = "/tmp/downloader_e2e.XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  std::unique_ptr<DownloadServer> server_;
  std::unique_ptr<EmulatedMac> mac_;
  static std::string skipReason_;
};
std::string DownloaderE2E::skipReason_;

TEST_F(DownloaderE2E, TheRuntimeListWritesBeginDestinationAndSuccessForEachUrl) {
  auto kv = probe({"InstallerDownloadDone", std::string(kServer) + "/installer",
                   std::string(kServer) + "/installer.p7"});
  EXPECT_EQ(kv["success"], "1");
  EXPECT_EQ(kv["notifications"], "1");
  const auto files = split(kv["files"]);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].substr(files[0].rfind('/')), "/installer");
  EXPECT_EQ(files[0].rfind("/tmp/", 0), 0u) << "the user's temporary folder";
  EXPECT_EQ(records(), (std::vector<Record>{
                           info("Begin runtime download from " + std::string(kServer) + "/installer"),
                           info("Download destination is " + files[0]),
                           info("Download success"),
                           info("Begin signature download from " + std::string(kServer) + "/installer.p7"),
                           info("Download destination is " + files[1]),
                           info("Download success"),
                       }));
}

TEST_F(DownloaderE2E, AFailureIsWrittenWithTheErrorsDescription) {
  auto kv = probe({"InstallerDownloadDone", std::string(kServer) + "/status/404/installer",
                   std::string(kServer) + "/installer.p7"});
  EXPECT_EQ(kv["success"], "0");
  EXPECT_EQ(kv["error"], "URLErrorDomain -1100");
  EXPECT_EQ(records(), (std::vector<Record>{
                           info("Begin runtime download from " + std::string(kServer) + "/status/404/installer"),
                           error("Download failure: The requested file was not found on the server."),
                       }));
}

TEST_F(DownloaderE2E, RevocationListsAreBegunAsCrlAndFailuresSkipped) {
  auto kv = probe({"--ignore-failures", "CrlDownloadDone", std::string(kServer) + "/status/404/x.crl",
                   std::string(kServer) + "/a.crl", "https://crl.vantor.test:1/closed.crl"});
  EXPECT_EQ(kv["success"], "1");
  EXPECT_EQ(kv["index"], "3");
  const auto files = split(kv["files"]);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(records(), (std::vector<Record>{
                           info("Begin crl download from " + std::string(kServer) + "/status/404/x.crl"),
                           error("Download failure: The requested file was not found on the server."),
                           info("Begin crl download from " + std::string(kServer) + "/a.crl"),
                           info("Download destination is " + files[0]),
                           info("Download success"),
                           info("Begin crl download from https://crl.vantor.test:1/closed.crl"),
                           error("Download failure: Could not connect to the server."),
                       }));
}

TEST_F(DownloaderE2E, AnotherNotificationNameWritesNoBeginRecord) {
  auto kv = probe({"SomeOtherDone", std::string(kServer) + "/installer.p7"});
  EXPECT_EQ(kv["success"], "1");
  const auto files = split(kv["files"]);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(records(), (std::vector<Record>{info("Download destination is " + files[0]),
                                            info("Download success")}));
}

TEST_F(DownloaderE2E, CancelIsWrittenAndEndsTheList) {
  auto kv = probe({"--cancel-after-bytes", "1", "InstallerDownloadDone", std::string(kServer) + "/slow/installer",
                   std::string(kServer) + "/installer.p7"});
  EXPECT_EQ(kv["success"], "0");
  EXPECT_EQ(kv["index"], "0");
  EXPECT_EQ(kv["error"], "none");
  const auto files = split(kv["files"]);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(records(), (std::vector<Record>{
                           info("Begin runtime download from " + std::string(kServer) + "/slow/installer"),
                           info("Download destination is " + files[0]),
                           info("Download cancelled"),
                       }));
  EXPECT_EQ(server_->countRequests("/installer.p7"), 0u);
}

TEST_F(DownloaderE2E, AUrlThatCannotBeFetchedAndPercentSignsInArguments) {
  auto kv = probe({"InstallerDownloadDone", "not a url %d%s", std::string(kServer) + "/installer.p7"});
  EXPECT_EQ(kv["success"], "0");
  EXPECT_EQ(kv["notifications"], "1");
  EXPECT_EQ(records(), (std::vector<Record>{
                           info("Begin runtime download from not a url %d%s"),
                           error("Download failure: could not start download"),
                       }));
}

TEST_F(DownloaderE2E, TheSharedServiceTrustsOnlyTheSystemStore) {
  // The same server under a name its certificate does not carry: refused.
  mac_->addHost("other.vantor.test");
  auto kv = probe({"InstallerDownloadDone", "https://other.vantor.test:8443/installer"});
  EXPECT_EQ(kv["success"], "0");
  EXPECT_EQ(kv["error"], "URLErrorDomain -1202");
}

}  // namespace

namespace {

TEST_F(DownloaderE2E, AnUnknownHostFailsWith1003) {
  // The emulated Mac resolves only the names of its hosts file.
  auto kv = probe({"InstallerDownloadDone", "https://unknown.vantor.test:8443/installer"});
  EXPECT_EQ(kv["success"], "0");
  EXPECT_EQ(kv["error"], "URLErrorDomain -1003");
  EXPECT_EQ(records().back(),
            error("Download failure: A server with the specified host name could not be found."));
}

}  // namespace
