// The real bootstrapper, as the main executable of a real "Install <Name>.app"
// made by tools/make-bundle, run in the emulated Mac with the sample runtime
// framework (and its Application Installer) in /Library/Frameworks: every
// ending that needs no download, checked on the exit code, standard output
// and error, the system-log records byte for byte (timestamp aside) and what
// the Application Installer received.
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EmulatedMac.h"
#include "FixtureTree.h"
#include "platform/process.h"

namespace fs = std::filesystem;
using harness::EmulatedMac;
using harness::RunOptions;
using harness::RunResult;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace {

constexpr char kUsageLine[] =
    "Available Options: -silent { -eulaAccepted ( -location <dir> ) -desktopShortcut -programMenu -allowDownload }\n";
constexpr char kFrameworkEmulated[] = "/Library/Frameworks/Brenmoor Vantor.framework";
constexpr char kRecordEmulated[] = "/tmp/app-installer-record.txt";
constexpr char kMessage10[] =
    "This application requires an update to Brenmoor Vantor but downloading that update on your system is not "
    "allowed by your administrator. Please contact your administrator.";
constexpr char kMessage1FirstLine[] = "Something went wrong trying to install this application.";

// "<PRI>" + identity + ": " + message: a record as the system log received
// it, without its timestamp (which is the only part that changes from run to
// run). The priority carries the facility: 13 is user.notice, 11 user.err.
std::string withoutTimestamp(const harness::SyslogRecord& r) {
  const std::size_t close = r.raw.find('>');
  if (close == std::string::npos || r.timestamp.empty()) return "unparsable: " + r.raw;
  return r.raw.substr(0, close + 1) + r.raw.substr(close + 1 + r.timestamp.size() + 1);
}

std::vector<std::string> logOf(const std::vector<harness::SyslogRecord>& records) {
  std::vector<std::string> out;
  for (const auto& r : records) out.push_back(withoutTimestamp(r));
  return out;
}

std::string notice(const std::string& ident, const std::string& text) { return "<13>" + ident + ": " + text; }
std::string error(const std::string& ident, const std::string& text) { return "<11>" + ident + ": " + text; }

std::string begin(const std::string& ident) {
  return notice(ident, "Bootstrapper begin with version 32.0.0.89 on Mac x86");
}
std::string end(const std::string& ident, int code) {
  const std::string text = "Bootstrapper end with exit code " + std::to_string(code);
  return code == 0 ? notice(ident, text) : error(ident, text);
}
std::string installed(const std::string& ident, const std::string& version) {
  return notice(ident, "Installed runtime (" + version + ") located at " + kFrameworkEmulated);
}
std::string launching(const std::string& ident, const std::string& commandLine) {
  return notice(ident, "Launching subprocess with commandline " + commandLine);
}

// The lines "argument N: ..." and "cwd: ..." of the Application Installer's
// record.
struct InstallerRecord {
  bool present = false;
  std::string cwd;
  std::vector<std::string> arguments;
};

InstallerRecord readRecord(const std::string& hostPath) {
  InstallerRecord r;
  std::ifstream in(hostPath);
  if (!in) return r;
  r.present = true;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("cwd: ", 0) == 0) r.cwd = line.substr(5);
    if (line.rfind("argument ", 0) == 0) r.arguments.push_back(line.substr(line.find(": ") + 2));
  }
  return r;
}

class BootstrapperEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    VANTOR_REQUIRE_EMULATED_MAC();
    mac_ = std::make_unique<EmulatedMac>();
    fs::create_directories(mac_->home() + "/Downloads");
    fs::create_directories(mac_->home() + "/Documents");
  }

  EmulatedMac& mac() { return *mac_; }

  // A package folder named `name` with one file in it (host path).
  std::string makePackage(const std::string& name) {
    const std::string dir = mac().scratch() + "/packages/" + name;
    harness::writeFile(dir + "/payload.txt", "the application's files\n");
    harness::writeFile(dir + "/Info.plist",
                       harness::plistXml({{"CFBundleIdentifier", "com.example." + std::string("sample")},
                                          {"CFBundleVersion", "1.2.3"}}));
    return dir;
  }

  // "Install <name>.app" in ~/Downloads made by the deployer tool; returns
  // the emulated path of its executable.
  std::string makeBundle(const std::string& name) {
    const std::string package = makePackage(name);
    const platform::ChildResult r = platform::runChildAndWait(
        // The tool prints the new bundle's path; keep it out of the test's output.
        "/bin/sh", {"-c", "exec \"$0\" \"$@\" >/dev/null", VANTOR_MAKE_BUNDLE, "--bootstrapper", VANTOR_BOOTSTRAPPER_PATH, "--package", package,
                      "--output", mac().home() + "/Downloads", "--force"});
    EXPECT_TRUE(r.started && r.status == 0) << "make-bundle failed with " << r.status;
    return mac().homePath() + "/Downloads/Install " + name + ".app/Contents/MacOS/Install " + name;
  }

  // The sample runtime with `version` in /Library/Frameworks; returns its
  // host path.
  std::string installRuntime(const std::string& version) {
    const std::string fw = mac().library() + "/Frameworks/" + harness::kFrameworkName;
    harness::copyPath(VANTOR_SAMPLE_FRAMEWORK, fw);
    harness::writePlist(fw + "/Versions/1.0/Resources/Info.plist",
                        {{"CFBundleExecutable", harness::kRuntimeExecutableName},
                         {"CFBundleIdentifier", "com.brenmoor.vantor.framework"},
                         {"CFBundleName", "Brenmoor Vantor"},
                         {"CFBundlePackageType", "FMWK"},
                         {"CFBundleVersion", version}});
    return fw;
  }

  std::string appInstallerResources(const std::string& fw) {
    return fw + "/Versions/1.0/" + harness::kAppInstallerBundleName + "/Contents/Resources";
  }

  RunResult run(const std::string& exe, const std::vector<std::string>& args, RunOptions options = {}) {
    std::vector<std::string> argv{exe};
    argv.insert(argv.end(), args.begin(), args.end());
    options.env["VANTOR_APP_INSTALLER_RECORD"] = kRecordEmulated;
    if (options.workingDirectory.empty()) options.workingDirectory = mac().homePath() + "/Documents";
    return mac().run(argv, options);
  }

  InstallerRecord record() { return readRecord(mac().hostPath(kRecordEmulated)); }

  std::unique_ptr<EmulatedMac> mac_;
};

// ---- Endings before anything is looked at --------------------------------

TEST_F(BootstrapperEndToEnd, RejectedCommandLinesPrintTheUsageLineAndLogNothing) {
  const std::string exe = makeBundle("Sample");
  installRuntime("3.1.0.488");
  const std::vector<std::vector<std::string>> lines = {
      {"-allowDownload"},
      {"-eulaAccepted"},
      {"-allowDownload", "-silent"},
      {"-silent", "-version"},
      {"-silent", "-location"},
      {"-Silent", "-allowDownload"},
      {"--help"},
  };
  for (const auto& line : lines) {
    SCOPED_TRACE(::testing::PrintToString(line));
    mac().clearSyslog();
    const RunResult r = run(exe, line);
    ASSERT_TRUE(r.exited()) << r.describe();
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, kUsageLine);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(mac().syslog().empty());
    EXPECT_FALSE(record().present) << "the Application Installer ran";
  }
}

TEST_F(BootstrapperEndToEnd, VersionAloneIsAnsweredWithoutDisplayAndWithoutLog) {
  const std::string exe = makeBundle("Sample");
  installRuntime("3.1.0.488");
  const RunResult r = run(exe, {"-version"});
  ASSERT_TRUE(r.exited()) << r.describe();
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "32.0.0.89\n");
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(mac().syslog().empty());
  EXPECT_FALSE(record().present);
}

TEST_F(BootstrapperEndToEnd, MissingPackageDirectoryEndsWith12AndNamesTheLookedForPath) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> breakPackage;
  };
  const std::vector<Case> cases = {
      {"removed", [](const std::string& p) { fs::remove_all(p); }},
      {"a plain file",
       [](const std::string& p) {
         fs::remove_all(p);
         harness::writeFile(p, "not a folder\n");
       }},
  };
  installRuntime("3.1.0.488");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string exe = makeBundle("Sample");
    const std::string resources = mac().homePath() + "/Downloads/Install Sample.app/Contents/Resources";
    c.breakPackage(mac().hostPath(resources + "/Sample"));
    mac().clearSyslog();
    const RunResult r = run(exe, {});
    ASSERT_TRUE(r.exited()) << r.describe();
    EXPECT_EQ(r.exitCode, 12);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "") << "no dialog for a missing package";
    const std::string id = "Install Sample";
    EXPECT_THAT(logOf(mac().syslog()),
                ElementsAreArray({begin(id),
                                  error(id, "Could not locate native install directory (\"" + resources +
                                                "/Sample\")"),
                                  end(id, 12)}));
    EXPECT_FALSE(record().present);
    fs::remove_all(mac().home() + "/Downloads/Install Sample.app");
  }
}

// ---- A recent runtime takes the package -----------------------------------

TEST_F(BootstrapperEndToEnd, RecentRuntimeHandsThePackageToTheApplicationInstaller) {
  struct Case {
    std::string version;
    std::string name;
    std::vector<std::string> args;
    std::vector<std::string> forwarded;  // what the bootstrapper passes on
    std::string installedApp;            // emulated path of the app made
  };
  const std::vector<Case> cases = {
      {"2.0.0.0", "Sample", {}, {}, "/Users/tester/Applications/Sample.app"},
      {"3.1.0.488",
       "Sample",
       {"-silent", "-eulaAccepted", "-allowDownload", "-location", "/Users/tester/My Apps", "-desktopShortcut",
        "-programMenu"},
       {"-silent", "-eulaAccepted", "-location", "/Users/tester/My Apps", "-desktopShortcut", "-programMenu"},
       "/Users/tester/My Apps/Sample.app"},
      {"3.1.0.488", "My Sample App", {"-silent"}, {"-silent"}, "/Users/tester/Applications/My Sample App.app"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version + " " + c.name + " " + ::testing::PrintToString(c.args));
    installRuntime(c.version);
    const std::string exe = makeBundle(c.name);
    const std::string package = mac().homePath() + "/Downloads/Install " + c.name + ".app/Contents/Resources/" + c.name;
    mac().clearSyslog();
    fs::remove(mac().hostPath(kRecordEmulated));

    const RunResult r = run(exe, c.args);
    ASSERT_TRUE(r.exited()) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();

    // The child got the validated options and the package, as separate
    // arguments, in the bootstrapper's working directory and environment
    // (the record path reached it through the environment).
    std::vector<std::string> expectedArgs = c.forwarded;
    expectedArgs.push_back(package);
    const InstallerRecord rec = record();
    ASSERT_TRUE(rec.present);
    EXPECT_EQ(rec.arguments, expectedArgs);
    EXPECT_EQ(rec.cwd, mac().homePath() + "/Documents");
    // Its standard output is the bootstrapper's.
    EXPECT_THAT(r.out, HasSubstr("argument " + std::to_string(expectedArgs.size()) + ": " + package + "\n"));

    std::string commandLine = "\"Vantor Application Installer\" ";
    for (const auto& a : expectedArgs) commandLine += a + " ";
    const std::string id = "Install " + c.name;
    EXPECT_THAT(logOf(mac().syslog()),
                ElementsAreArray({begin(id), installed(id, c.version), launching(id, commandLine),
                                  notice(id, "Subprocess Application Installer succeeded"), end(id, 0)}));

    // The package became an app whose main executable is the launcher.
    const std::string app = mac().hostPath(c.installedApp);
    EXPECT_TRUE(fs::is_regular_file(app + "/Contents/Resources/payload.txt"));
    EXPECT_TRUE(fs::is_regular_file(app + "/Contents/MacOS/" + c.name));
  }
}

TEST_F(BootstrapperEndToEnd, InstalledAppStartsThroughTheLauncherOnTheRuntime) {
  installRuntime("3.1.0.488");
  const std::string exe = makeBundle("Sample");
  ASSERT_EQ(run(exe, {}).exitCode, 0);
  const RunResult app = mac().run({"/Users/tester/Applications/Sample.app/Contents/MacOS/Sample"});
  ASSERT_TRUE(app.exited()) << app.describe();
  EXPECT_EQ(app.exitCode, 0) << app.describe();
  EXPECT_THAT(app.out, HasSubstr(std::string(kFrameworkEmulated) + "/Versions/1.0"));
}

TEST_F(BootstrapperEndToEnd, ApplicationInstallerStatusIsPassedThroughAndLoggedAsFailure) {
  const std::string fw = installRuntime("2.0.0.0");
  harness::writeFile(appInstallerResources(fw) + "/exit-status", "7\n");
  const std::string exe = makeBundle("Sample");
  const RunResult r = run(exe, {"-silent"});
  ASSERT_TRUE(r.exited()) << r.describe();
  EXPECT_EQ(r.exitCode, 7);
  EXPECT_EQ(r.err, "") << "a failing child is not shown by the bootstrapper";
  const std::string id = "Install Sample";
  const std::string package = "/Users/tester/Downloads/Install Sample.app/Contents/Resources/Sample";
  EXPECT_THAT(logOf(mac().syslog()),
              ElementsAreArray({begin(id), installed(id, "2.0.0.0"),
                                launching(id, "\"Vantor Application Installer\" -silent " + package + " "),
                                error(id, "Subprocess Application Installer failed (7)"), end(id, 7)}));
  EXPECT_EQ(record().arguments, (std::vector<std::string>{"-silent", package}));
  EXPECT_FALSE(fs::exists(mac().home() + "/Applications/Sample.app"));
}

TEST_F(BootstrapperEndToEnd, FrameworkWithoutUsableApplicationInstallerEndsWith5Or126) {
  struct Case {
    const char* what;
    std::function<void(const std::string& bundle)> breakInstaller;
    int code;
  };
  const std::vector<Case> cases = {
      {"no Application Installer bundle", [](const std::string& b) { fs::remove_all(b); }, 5},
      {"a bundle without its executable",
       [](const std::string& b) { fs::remove(b + "/Contents/MacOS/" + harness::kAppInstallerExecutableName); }, 5},
      {"a bundle whose Info.plist names no executable",
       [](const std::string& b) { harness::writePlist(b + "/Contents/Info.plist", {{"CFBundleName", "x"}}); }, 5},
      // The file is there but cannot be run: a logged failure with the
      // shell's code for it, never a crash or a success.
      {"an executable without execute permission",
       [](const std::string& b) {
         fs::permissions(b + "/Contents/MacOS/" + harness::kAppInstallerExecutableName, fs::perms(0644));
       },
       126},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string fw = installRuntime("3.1.0.488");
    c.breakInstaller(fw + "/Versions/1.0/" + harness::kAppInstallerBundleName);
    const std::string exe = makeBundle("Sample");
    mac().clearSyslog();
    const RunResult r = run(exe, {});
    ASSERT_TRUE(r.exited()) << r.describe();
    EXPECT_EQ(r.exitCode, c.code);
    const std::string id = "Install Sample";
    const std::string package = "/Users/tester/Downloads/Install Sample.app/Contents/Resources/Sample";
    EXPECT_THAT(logOf(mac().syslog()),
                ElementsAreArray({begin(id), installed(id, "3.1.0.488"),
                                  launching(id, "\"Vantor Application Installer\" " + package + " "),
                                  error(id, "Subprocess Application Installer failed (" + std::to_string(c.code) + ")"),
                                  end(id, c.code)}));
    EXPECT_FALSE(record().present);
    fs::remove_all(mac().home() + "/Downloads/Install Sample.app");
  }
}

// ---- An old or missing runtime without a download -------------------------

TEST_F(BootstrapperEndToEnd, RuntimeNeedingDownloadWithoutAllowDownloadEndsWith10) {
  struct Case {
    std::string runtime;  // empty: none installed
    bool readable;        // whether its version can be read
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {"1.9.0.0", true, {"-silent"}},
      {"1.0.0.1", true, {"-silent", "-eulaAccepted"}},
      {"", false, {"-silent"}},
      {"3.1", false, {"-eulaAccepted", "-programMenu"}},  // two numbers only: no usable runtime
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.runtime + " " + ::testing::PrintToString(c.args));
    harness::removeFramework(mac().library());
    if (!c.runtime.empty()) installRuntime(c.runtime);
    const std::string exe = makeBundle("Sample");
    mac().clearSyslog();
    const RunResult r = run(exe, c.args);
    ASSERT_TRUE(r.exited()) << r.describe();
    EXPECT_EQ(r.exitCode, 10);
    EXPECT_EQ(r.out, "Unable to download runtime installer without -allowDownload\n");
    EXPECT_EQ(r.err, "");
    const std::string id = "Install Sample";
    EXPECT_THAT(logOf(mac().syslog()),
                ElementsAreArray({begin(id),
                                  c.readable ? installed(id, c.runtime) : notice(id, "No installed runtime detected"),
                                  error(id, "Unable to download runtime installer without -allowDownload"),
                                  end(id, 10)}));
    EXPECT_FALSE(record().present) << "an old runtime must not take the package";
    fs::remove_all(mac().home() + "/Downloads/Install Sample.app");
  }
}

TEST_F(BootstrapperEndToEnd, OldRuntimeWithUpdatesDisabledShowsMessage10AndEndsWith15) {
  installRuntime("1.9.0.0");
  harness::writeFile(mac().home() + "/Library/Application Support/Brenmoor/Vantor/updateDisabled", "");
  const std::string exe = makeBundle("Sample");
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"-silent", "-allowDownload"}}) {
    SCOPED_TRACE(::testing::PrintToString(args));
    mac().clearSyslog();
    const RunResult r = run(exe, args);
    ASSERT_TRUE(r.exited()) << r.describe();
    EXPECT_EQ(r.exitCode, 15);
    EXPECT_EQ(r.out, "");
    // Without a display the dialog is written to standard error, titled with
    // the whole executable name; "-silent" does not hide it.
    EXPECT_THAT(r.err, HasSubstr(kMessage10));
    EXPECT_THAT(r.err, HasSubstr("Install Sample"));
    const std::string id = "Install Sample";
    EXPECT_THAT(logOf(mac().syslog()),
                ElementsAreArray({begin(id), installed(id, "1.9.0.0"),
                                  error(id,
                                        "Cannot complete installation because runtime updates are disabled on this "
                                        "machine"),
                                  end(id, 15)}));
  }
}

// No download address can be built when the system's version file gives a
// major version of 0; the bootstrapper then ends as a failed download would,
// without trying one.
TEST_F(BootstrapperEndToEnd, NoDownloadAddressesEndWith11AndTheGeneralAlert) {
  mac().setSystemVersion("");
  // No runtime at all: the marker is not consulted, so it must not stop this.
  harness::writeFile(mac().home() + "/Library/Application Support/Brenmoor/Vantor/updateDisabled", "");
  const std::string exe = makeBundle("Sample");
  const RunResult r = run(exe, {});
  ASSERT_TRUE(r.exited()) << r.describe();
  EXPECT_EQ(r.exitCode, 11);
  EXPECT_EQ(r.out, "");
  EXPECT_THAT(r.err, HasSubstr(kMessage1FirstLine));
  const std::string id = "Install Sample";
  EXPECT_THAT(logOf(mac().syslog()),
              ElementsAreArray({begin(id), notice(id, "No installed runtime detected"), end(id, 11)}));
}

// ---- The application name --------------------------------------------------

TEST_F(BootstrapperEndToEnd, NameWithoutTheExactInstallPrefixIsUsedWhole) {
  installRuntime("3.1.0.488");
  for (const std::string exeName : {"install Sample", "InstallSample", "Install"}) {
    SCOPED_TRACE(exeName);
    // Both a folder named after the whole executable name and one named as
    // the stripped name would be: only the first may be used.
    const std::string parent = mac().home() + "/Downloads";
    harness::AppBundleOptions options;
    options.executableName = exeName;
    options.info["CFBundleVersion"] = "32.0.0.89";
    options.resources[exeName] = makePackage(exeName);
    options.resources["Sample"] = makePackage("Sample");
    harness::makeAppBundle(parent, exeName + ".app", VANTOR_BOOTSTRAPPER_PATH, options);
    mac().clearSyslog();
    fs::remove(mac().hostPath(kRecordEmulated));

    const RunResult r = run(mac().homePath() + "/Downloads/" + exeName + ".app/Contents/MacOS/" + exeName, {});
    ASSERT_TRUE(r.exited()) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    const std::string package = mac().homePath() + "/Downloads/" + exeName + ".app/Contents/Resources/" + exeName;
    EXPECT_EQ(record().arguments, std::vector<std::string>{package});
    EXPECT_THAT(logOf(mac().syslog()),
                ElementsAreArray({begin(exeName), installed(exeName, "3.1.0.488"),
                                  launching(exeName, "\"Vantor Application Installer\" " + package + " "),
                                  notice(exeName, "Subprocess Application Installer succeeded"), end(exeName, 0)}));
  }
}

// ---- The framework goes away between the version check and the start ------
//
// A helper (this test) removes the framework after the bootstrapper has read
// its version and logged where it is, but before it starts the Application
// Installer. To hit that moment every time, the bootstrapper's /dev/log is a
// socket of this test whose queue holds a single record: the bootstrapper's
// next log write then waits until the test has read the previous record. When
// the "Installed runtime" record is waiting, the bootstrapper has done its
// own runtime search and is held at its next record ("Launching
// subprocess..."), which comes before the Application Installer is looked
// up. The test removes the framework, then lets it go on.

class HoldingLogSocket {
 public:
  // Creates the socket at `path` with a queue of one datagram. The queue
  // length of a new socket comes from the network namespace it is made in,
  // so it is made from a thread that moves into a namespace of its own.
  explicit HoldingLogSocket(const std::string& path) {
    std::thread maker([&] {
      if (unshare(CLONE_NEWNET) != 0) {
        problem_ = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
        return;
      }
      {
        std::ofstream qlen("/proc/sys/net/unix/max_dgram_qlen");
        qlen << 0;
        qlen.flush();
        if (!qlen) {
          problem_ = "cannot set net.unix.max_dgram_qlen";
          return;
        }
      }
      fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      sockaddr_un addr{};
      addr.sun_family = AF_UNIX;
      std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
      if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        problem_ = std::string("cannot bind ") + path + ": " + std::strerror(errno);
        return;
      }
      chmod(path.c_str(), 0666);
    });
    maker.join();
  }
  ~HoldingLogSocket() {
    if (fd_ >= 0) close(fd_);
  }
  const std::string& problem() const { return problem_; }
  int fd() const { return fd_; }

  // Waits until a datagram is queued; returns it without taking it.
  std::optional<std::string> peek(int timeoutMs) { return receive(timeoutMs, MSG_PEEK); }
  std::optional<std::string> take(int timeoutMs) { return receive(timeoutMs, 0); }

 private:
  std::optional<std::string> receive(int timeoutMs, int flags) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
    char buffer[4096];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, flags);
    if (n < 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(n));
  }
  int fd_ = -1;
  std::string problem_;
};

TEST_F(BootstrapperEndToEnd, FrameworkRemovedBeforeTheHandOverEndsWith3) {
  const std::string socketPath = mac().scratch() + "/holding-log.sock";
  HoldingLogSocket log(socketPath);
  if (!log.problem().empty()) GTEST_SKIP() << "cannot make a socket with a one-record queue: " << log.problem();
  {
    // The premise: a second record cannot be queued before the first is read.
    const int client = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(send(client, "a", 1, 0), 1);
    ASSERT_EQ(send(client, "b", 1, 0), -1);
    ASSERT_EQ(errno, EAGAIN);
    close(client);
    ASSERT_TRUE(log.take(1000));
  }

  const std::string fw = installRuntime("3.1.0.488");
  const std::string exe = makeBundle("Sample");

  std::vector<std::string> raws;
  std::atomic<bool> finished{false};
  bool removedAtTheRightMoment = false;
  std::thread helper([&] {
    // The begin record; the bootstrapper then runs until it has queued the
    // next one and is held at the one after.
    if (auto first = log.take(30000)) raws.push_back(*first);
    if (auto waiting = log.peek(30000)) {
      if (waiting->find("Installed runtime (3.1.0.488)") != std::string::npos) {
        fs::remove_all(fw);
        removedAtTheRightMoment = true;
      }
    }
    while (!finished) {
      if (auto r = log.take(100)) raws.push_back(*r);
    }
    while (auto r = log.take(0)) raws.push_back(*r);
  });
  RunOptions options;
  options.binds.push_back({socketPath, "/dev/log", false});
  const RunResult r = run(exe, {}, options);
  finished = true;
  helper.join();

  ASSERT_TRUE(r.exited()) << r.describe();
  ASSERT_TRUE(removedAtTheRightMoment) << "the bootstrapper was not held at its runtime record";
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.err, "");
  std::vector<harness::SyslogRecord> records;
  for (const auto& raw : raws) records.push_back(harness::parseSyslogRecord(raw));
  const std::string id = "Install Sample";
  const std::string package = "/Users/tester/Downloads/Install Sample.app/Contents/Resources/Sample";
  EXPECT_THAT(logOf(records),
              ElementsAreArray({begin(id), installed(id, "3.1.0.488"),
                                launching(id, "\"Vantor Application Installer\" " + package + " "),
                                error(id, "Subprocess Application Installer failed (3)"), end(id, 3)}));
  EXPECT_FALSE(record().present);
}

}  // namespace
