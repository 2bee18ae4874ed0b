// Faults on the download path of the real bootstrapper, end to end: "Install
// Sample.app" with no runtime installed in the emulated Mac, the download
// server on the private network with one address turned into a failure mode
// (an alias, since the bootstrapper's addresses are built in), a temporary
// folder that is too small or cannot be written, and termination signals
// sent to the running program. Every fault must end clearly: its exit code,
// its dialog (or none), the right records in the real system log, and no
// downloaded file left anywhere the Downloader writes.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "download_fixture.h"

namespace fs = std::filesystem;
using harness::RunResult;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using namespace downloadtest;
using namespace std::chrono_literals;

namespace {

const std::string kPrivateTmp = "/tmp/vantor-" + std::to_string(getuid());
const std::string kBeginInstaller =
    std::string("Begin runtime download from https://download.vantor.test:8443") + kInstaller;
const std::string kBeginIntermediateCrl =
    std::string("Begin crl download from https://download.vantor.test:8443") + kIntermediateCrl;
const std::string kNoRuntime = "No installed runtime detected";
const std::string kVerified = "Detached signature verified";

class DownloadFaults : public DownloadFixture {
 public:  // the rows arrange the fixture through these
  harness::RunOptions options;

  std::uintmax_t installerSize() { return fs::file_size(served(kInstaller)); }

  // Files the Downloader could have left: in the emulated /tmp, and at the
  // top of the home, where it writes when there is no temporary folder.
  std::vector<std::string> leftBehind() {
    std::vector<std::string> left = leftInTmp();
    for (const auto& e : fs::directory_iterator(mac().home()))
      if (e.is_regular_file() && e.path().filename() != "vantor-app-installer.txt")
        left.push_back("~/" + e.path().filename().string());
    return left;
  }

  void expectCleanEnd(const RunResult& r, int code, const char* shown, const std::vector<std::string>& records) {
    EXPECT_EQ(r.exitCode, code) << r.describe();
    if (shown != nullptr) {
      EXPECT_THAT(r.err, HasSubstr(shown)) << r.describe();
      EXPECT_THAT(r.err, HasSubstr(kId));
    }
    for (const char* other : {kMessage0, kMessage6, kMessage8}) {
      if (shown == nullptr || std::string(shown) != other) {
        EXPECT_THAT(r.err, Not(HasSubstr(other)));
      }
    }

    const std::vector<harness::SyslogRecord> log = mac().syslog();
    ASSERT_GE(log.size(), 3u) << dump(log);
    EXPECT_EQ(log.front().message, "Bootstrapper begin with version 32.0.0.89 on Mac x86") << dump(log);
    EXPECT_EQ(log.back().message, "Bootstrapper end with exit code " + std::to_string(code)) << dump(log);
    EXPECT_EQ(log.back().priority, code == 0 ? 5 : 3) << dump(log);
    for (const auto& rec : log) EXPECT_EQ(rec.identity, kId);
    EXPECT_EQ(missingInOrder(log, records), "") << dump(log);

    EXPECT_THAT(leftBehind(), IsEmpty()) << "downloaded files must be removed on every ending";
  }
};

// ---- Faults that end by themselves ---------------------------------------------

struct Fault {
  const char* name;
  std::function<void(DownloadFaults&)> arrange;  // the fault and the server
  int code;
  const char* shown;                 // first line of the dialog; none: no dialog
  std::vector<std::string> records;  // found in this order in the log
  bool runtimeInstalled;
};

class DownloadFaultTable : public DownloadFaults, public ::testing::WithParamInterface<Fault> {};

TEST_P(DownloadFaultTable, EndsClearlyAndLeavesNoDownloadedFile) {
  const Fault& f = GetParam();
  f.arrange(*this);
  if (HasFatalFailure() || IsSkipped()) return;
  mac().clearSyslog();
  const RunResult r = mac().run({exe_}, options);
  ASSERT_TRUE(r.exited()) << r.describe();
  expectCleanEnd(r, f.code, f.shown, f.records);
  EXPECT_EQ(fs::exists(mac().library() + kFramework + "/Versions/1.0/Brenmoor Vantor_64"), f.runtimeInstalled);
}

void aliasInstaller(DownloadFaults& t, const std::string& modePrefix) {
  t.startServer({{kInstaller, modePrefix + kInstaller}});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DownloadFaultTable,
    ::testing::Values(
        // A /tmp far smaller than the installer: the write fails part way.
        Fault{"TemporaryFileSystemFull",
              [](DownloadFaults& t) {
                constexpr std::size_t kLimit = 64 * 1024;
                ASSERT_GT(t.installerSize(), 4 * kLimit) << "the installer must not fit";
                if (auto reason = t.mac().limitTmp(kLimit)) GTEST_SKIP() << *reason;
                t.startServer();
              },
              11, kMessage0,
              {kNoRuntime, kBeginInstaller, "Download destination is " + kPrivateTmp + "/installer",
               "Download failure: The download file could not be written."},
              false},
        // No private temporary folder can be made (a dangling link holds its
        // name; a read-only /tmp would also hide a build tree kept under the
        // host's /tmp): the Downloader writes into the home instead, and the
        // install goes through.
        Fault{"TemporaryFolderCannotBeCreated",
              [](DownloadFaults& t) {
                const fs::path name = fs::path(t.mac().tmp()) / fs::path(kPrivateTmp).filename();
                fs::create_symlink("/nonexistent", name);
                t.startServer();
              },
              0, nullptr,
              {kNoRuntime, kBeginInstaller, "Download destination is /Users/tester/installer", "Download success",
               "Download destination is /Users/tester/installer.p7", kVerified,
               "Subprocess Runtime Installer succeeded"},
              true},
        // The private folder exists but cannot be written.
        Fault{"TemporaryFolderCannotBeWritten",
              [](DownloadFaults& t) {
                const std::string dir = t.mac().tmp() + "/" + fs::path(kPrivateTmp).filename().string();
                fs::create_directory(dir);
                ::chmod(dir.c_str(), 0700);
                t.options.binds.push_back({dir, kPrivateTmp, true});
                t.startServer();
              },
              11, kMessage0,
              {kNoRuntime, kBeginInstaller, "Download destination is " + kPrivateTmp + "/installer",
               "Download failure: The download file could not be created."},
              false},
        Fault{"ConnectionDroppedMidBody", [](DownloadFaults& t) { aliasInstaller(t, "/drop/65536"); }, 11, kMessage0,
              {kNoRuntime, kBeginInstaller, "Download destination is", "Download failure: The network connection was lost."},
              false},
        // The server sends the length and 1 KiB, then nothing: the request
        // times out after 30 seconds without progress.
        Fault{"StallTimesOut", [](DownloadFaults& t) {
                aliasInstaller(t, "/stall");
                t.options.timeout = 150s;
              },
              11, kMessage0, {kNoRuntime, kBeginInstaller, "Download destination is", "Download failure: The request timed out."},
              false},
        Fault{"RedirectLoop", [](DownloadFaults& t) { aliasInstaller(t, "/redirect-loop"); }, 11, kMessage0,
              {kNoRuntime, kBeginInstaller, "Download failure: The server redirected the request too many times."},
              false},
        // 8 MiB of response header: refused before any file is made.
        Fault{"HugeResponseHeader", [](DownloadFaults& t) { aliasInstaller(t, "/huge-header/8388608"); }, 11,
              kMessage0,
              {kNoRuntime, kBeginInstaller,
               "Download failure: The server returned an error or an unreadable response."},
              false},
        // The intermediate's revocation list never comes: after the timeout
        // the failure is ignored like any other of a revocation list, and
        // the install goes on on the strength of the signature.
        Fault{"RevocationListServerNeverAnswers",
              [](DownloadFaults& t) {
                t.startServer({{kIntermediateCrl, std::string("/silent") + kIntermediateCrl}});
                t.options.timeout = 150s;
              },
              0, nullptr,
              {kNoRuntime, "Download success", "Download success", kBeginIntermediateCrl,
               "Download failure: The request timed out.", kVerified, "Subprocess Runtime Installer succeeded"},
              true}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

// ---- Termination signals -----------------------------------------------------

// How far the run must have got before the signal is sent.
using Readiness = std::function<bool(DownloadFaults&, harness::BackgroundProcess&)>;

struct Interruption {
  const char* name;
  int signal;
  std::function<void(DownloadFaults&)> arrange;
  Readiness ready;
  int code;
  std::vector<std::string> records;
};

// The installer's partial file is there and growing: the transfer is under
// way, so the signal has a transfer to stop and a partial file to remove.
bool partialInstallerWritten(DownloadFaults& t, harness::BackgroundProcess&) {
  if (!t.mac().waitForSyslogMessage("Download destination is", 60s)) return false;
  const std::string partial = t.mac().tmp() + "/" + fs::path(kPrivateTmp).filename().string() + "/installer";
  for (int i = 0; i < 3000; ++i) {
    std::error_code ec;
    if (fs::file_size(partial, ec) > 0 && !ec) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

bool crlDownloadBegun(DownloadFaults& t, harness::BackgroundProcess&) {
  return t.mac().waitForSyslogMessage(kBeginIntermediateCrl, 60s);
}

// A runtime installer that waits for TERM (ending with 143) and says on
// standard error when it is ready; after 20 s without one it gives up with 7.
void serveWaitingInstaller(DownloadFaults& t) {
  harness::writeFile(t.served(kInstaller),
                     "#!/bin/sh\n"
                     "trap 'echo \"runtime installer: terminated\" >&2; exit 143' TERM\n"
                     "echo 'runtime installer: waiting' >&2\n"
                     "i=0; while [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n"
                     "exit 7\n");
  const platform::ChildResult signed_ =
      platform::runChildAndWait("/bin/bash", {VANTOR_SIGN_INSTALLER, t.served(kInstaller), t.served(kSignature)});
  ASSERT_TRUE(signed_.started && signed_.status == 0) << "signing the waiting installer failed";
  t.startServer();
}

bool installerWaiting(DownloadFaults& t, harness::BackgroundProcess& run) {
  if (!t.mac().waitForSyslogMessage("Launching subprocess", 60s)) return false;
  for (int i = 0; i < 3000; ++i) {
    if (run.errSoFar().find("runtime installer: waiting") != std::string::npos) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

class InterruptionTable : public DownloadFaults, public ::testing::WithParamInterface<Interruption> {};

TEST_P(InterruptionTable, EndsWithoutADialogAndLeavesNoDownloadedFile) {
  const Interruption& s = GetParam();
  s.arrange(*this);
  if (HasFatalFailure()) return;
  mac().clearSyslog();
  std::unique_ptr<harness::BackgroundProcess> run = mac().startBackground({exe_}, options);
  ASSERT_TRUE(s.ready(*this, *run)) << "the run never got there; " << run->errSoFar() << dump(mac().syslog());
  ASSERT_TRUE(run->signal(s.signal));
  const RunResult r = run->wait(60s);
  run.reset();
  ASSERT_TRUE(r.exited()) << r.describe();
  expectCleanEnd(r, s.code, nullptr, s.records);
  EXPECT_FALSE(fs::exists(mac().library() + kFramework + "/Versions/1.0/Brenmoor Vantor_64"));
}

void slowInstaller(DownloadFaults& t) { aliasInstaller(t, "/slow"); }

const std::vector<std::string> kCancelledInstaller{kNoRuntime, kBeginInstaller, "Download destination is",
                                                   "Download cancelled"};

INSTANTIATE_TEST_SUITE_P(
    Rows, InterruptionTable,
    ::testing::Values(
        Interruption{"SigtermDuringInstallerDownload", SIGTERM, slowInstaller, partialInstallerWritten, 11,
                     kCancelledInstaller},
        Interruption{"SigintDuringInstallerDownload", SIGINT, slowInstaller, partialInstallerWritten, 11,
                     kCancelledInstaller},
        Interruption{"SighupDuringInstallerDownload", SIGHUP, slowInstaller, partialInstallerWritten, 11,
                     kCancelledInstaller},
        // Installer and signature are in, a revocation list hangs.
        Interruption{"SigtermDuringRevocationListDownload", SIGTERM,
                     [](DownloadFaults& t) {
                       t.startServer({{kIntermediateCrl, std::string("/silent") + kIntermediateCrl}});
                     },
                     crlDownloadBegun, 11,
                     {kNoRuntime, kBeginInstaller, "Download success", "Download success", kBeginIntermediateCrl,
                      "Download cancelled"}},
        // The runtime installer runs: the signal is passed on to it, and its
        // status is the bootstrapper's.
        Interruption{"SigtermWhileTheRuntimeInstallerRuns", SIGTERM, serveWaitingInstaller, installerWaiting, 143,
                     {kNoRuntime, kVerified, "Launching subprocess", "Subprocess Runtime Installer failed (143)"}}),
    [](const ::testing::TestParamInfo<Interruption>& info) { return std::string(info.param.name); });

}  // namespace
