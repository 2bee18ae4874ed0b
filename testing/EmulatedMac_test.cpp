// The emulated Mac itself, with the host's own programs (sh, env, getent,
// openssl, logger) run inside it: what they see, what the test gets back, and
// that the host stays untouched.
#include "EmulatedMac.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <syslog.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FixtureTree.h"

namespace fs = std::filesystem;
using harness::EmulatedMac;
using harness::RunOptions;
using harness::RunResult;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

RunResult sh(EmulatedMac& mac, const std::string& script, const RunOptions& options = {}) {
  return mac.run({"/bin/sh", "-c", script}, options);
}

std::string selfPath() { return fs::read_symlink("/proc/self/exe").string(); }

// Runs a host command (for fixtures such as certificates); fails the test
// when it does not succeed.
void hostCommand(const std::string& command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

class EmulatedMacTest : public ::testing::Test {
 protected:
  void SetUp() override { VANTOR_REQUIRE_EMULATED_MAC(); }
};

TEST_F(EmulatedMacTest, FixtureTreesAppearAtTheirMacPathsBothWays) {
  EmulatedMac mac;
  struct Tree {
    std::string emulated;
    std::string host;
  };
  const std::vector<Tree> trees = {
      {"/Library", mac.library()},
      {"/Network/Library", mac.networkLibrary()},
      {"/System/Library", mac.systemLibrary()},
      {"/Applications", mac.applications()},
      {"/Users/tester", mac.home()},
      {"/tmp", mac.tmp()},
  };
  for (const auto& t : trees) {
    SCOPED_TRACE(t.emulated);
    EXPECT_EQ(mac.hostPath(t.emulated), t.host);
    harness::writeFile(t.host + "/from-host.txt", "host wrote " + t.emulated);
    const RunResult r = sh(mac, "cat '" + t.emulated + "/from-host.txt' && echo inside > '" +
                                    t.emulated + "/from-inside.txt'");
    ASSERT_TRUE(r.exited()) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(r.out, "host wrote " + t.emulated);
    EXPECT_EQ(harness::readFile(mac.hostPath(t.emulated + "/from-inside.txt")), "inside\n");
  }
  EXPECT_THROW(mac.hostPath("/usr/bin/sh"), std::invalid_argument);
  EXPECT_THROW(mac.hostPath("relative/path"), std::invalid_argument);
  EXPECT_THROW(mac.hostPath("/Librarything"), std::invalid_argument);
}

TEST_F(EmulatedMacTest, NothingAppearsAtTheHostsRoot) {
  const std::vector<std::string> macFolders = {"/Library", "/Network", "/System", "/Applications",
                                               "/Users"};
  std::vector<bool> before;
  for (const auto& f : macFolders) before.push_back(fs::exists(f));
  {
    EmulatedMac mac;
    harness::installFramework(mac.library());
    const RunResult r = sh(mac,
                           "mkdir -p /Library/Frameworks/new /System/Library/x /Users/tester/y "
                           "/Network/Library/z /Applications/a.app && touch /tmp/t");
    ASSERT_EQ(r.exitCode, 0) << r.describe();
  }
  for (std::size_t i = 0; i < macFolders.size(); ++i)
    EXPECT_EQ(fs::exists(macFolders[i]), before[i]) << macFolders[i];
}

TEST_F(EmulatedMacTest, SystemVersionFileDefaultsToTenNineFiveAndCanChangeOrGo) {
  EmulatedMac mac;
  const std::string file = "/System/Library/CoreServices/SystemVersion.plist";
  RunResult r = mac.run({"/bin/cat", file});
  ASSERT_EQ(r.exitCode, 0) << r.describe();
  EXPECT_THAT(r.out, HasSubstr("<key>ProductVersion</key>\n\t<string>10.9.5</string>"));

  mac.setSystemVersion("10.6.8");
  r = mac.run({"/bin/cat", file});
  EXPECT_THAT(r.out, HasSubstr("<string>10.6.8</string>"));

  mac.removeSystemVersion();
  r = sh(mac, "test -e " + file);
  EXPECT_EQ(r.exitCode, 1) << r.describe();

  EmulatedMac bare({.userName = "tester", .systemVersion = ""});
  r = sh(bare, "test -e " + file);
  EXPECT_EQ(r.exitCode, 1) << r.describe();
}

TEST_F(EmulatedMacTest, EnvironmentHoldsOnlyTheHomeAndWhatTheTestAsks) {
  // The test process's own display and temporary directory never leak in.
  setenv("DISPLAY", ":42", 1);
  setenv("WAYLAND_DISPLAY", "wayland-9", 1);
  setenv("TMPDIR", "/var/tmp", 1);
  setenv("LANG", "de_DE.UTF-8", 1);
  harness::EmulatedMacOptions mira;
  mira.userName = "mira";
  EmulatedMac mac(mira);
  RunResult r = mac.run({"/usr/bin/env"});
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("TMPDIR");
  unsetenv("LANG");
  ASSERT_EQ(r.exitCode, 0) << r.describe();
  EXPECT_THAT(r.out, HasSubstr("HOME=/Users/mira\n"));
  EXPECT_THAT(r.out, HasSubstr("USER=mira\n"));
  EXPECT_THAT(r.out, HasSubstr("LOGNAME=mira\n"));
  for (const char* absent : {"DISPLAY=", "WAYLAND_DISPLAY=", "TMPDIR=", "LANG=", "LANGUAGE="})
    EXPECT_THAT(r.out, Not(HasSubstr(absent))) << r.out;

  RunOptions o;
  o.env = {{"LANGUAGE", "fi:es"}, {"TMPDIR", "/tmp"}, {"HOME", "/Users/other"}};
  o.unsetEnv = {"USER"};
  o.display = ":7";
  r = mac.run({"/usr/bin/env"}, o);
  EXPECT_THAT(r.out, HasSubstr("LANGUAGE=fi:es\n"));
  EXPECT_THAT(r.out, HasSubstr("TMPDIR=/tmp\n"));
  EXPECT_THAT(r.out, HasSubstr("HOME=/Users/other\n"));
  EXPECT_THAT(r.out, HasSubstr("DISPLAY=:7\n"));
  EXPECT_THAT(r.out, Not(HasSubstr("USER=")));

  // The home is also the default working directory; another can be asked for.
  r = mac.run({"/bin/pwd"});
  EXPECT_EQ(r.out, "/Users/mira\n");
  o = {};
  o.workingDirectory = "/System/Library";
  r = mac.run({"/bin/pwd"}, o);
  EXPECT_EQ(r.out, "/System/Library\n");
}

TEST_F(EmulatedMacTest, ReportsExitStatusSignalStartFailureAndTimeout) {
  EmulatedMac mac;
  struct Case {
    std::vector<std::string> argv;
    int exitCode;
    int signal;
    bool startFailure;
  };
  const std::vector<Case> cases = {
      {{"/bin/sh", "-c", "exit 0"}, 0, 0, false},
      {{"/bin/sh", "-c", "exit 3"}, 3, 0, false},
      // 127 and 139 are plain exit codes here, not the shell's conventions.
      {{"/bin/sh", "-c", "exit 127"}, 127, 0, false},
      {{"/bin/sh", "-c", "exit 139"}, 139, 0, false},
      {{"/bin/sh", "-c", "kill -SEGV $$"}, -1, SIGSEGV, false},
      {{"/bin/sh", "-c", "kill -ABRT $$"}, -1, SIGABRT, false},
      {{"/Library/no-such-program"}, -1, 0, true},
      {{"true"}, 0, 0, false},  // looked up in PATH
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argv.back());
    const RunResult r = mac.run(c.argv);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.describe();
    EXPECT_EQ(r.signal, c.signal) << r.describe();
    EXPECT_EQ(!r.startFailure.empty(), c.startFailure) << r.describe();
  }

  // A file that is there but not executable cannot be started either.
  harness::writeFile(mac.library() + "/not-executable", "#!/bin/sh\nexit 0\n", 0644);
  RunResult r = mac.run({"/Library/not-executable"});
  EXPECT_THAT(r.startFailure, HasSubstr("Permission denied")) << r.describe();

  RunOptions quick;
  quick.timeout = std::chrono::milliseconds(300);
  const auto start = std::chrono::steady_clock::now();
  r = sh(mac, "echo before; sleep 30; echo after", quick);
  EXPECT_TRUE(r.timedOut);
  EXPECT_FALSE(r.exited());
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.out, "before\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(EmulatedMacTest, PassesStandardInputAndKeepsTheStreamsApart) {
  EmulatedMac mac;
  RunOptions o;
  o.stdinText = std::string(200000, 'x') + "\nend\n";  // more than a pipe holds
  RunResult r = sh(mac, "wc -c; echo to-stderr >&2", o);
  ASSERT_EQ(r.exitCode, 0) << r.describe();
  EXPECT_EQ(r.out, "200005\n");
  EXPECT_EQ(r.err, "to-stderr\n");

  // A program that ignores its input and ends does not hang the writer.
  o.stdinText = std::string(1 << 20, 'y');
  r = sh(mac, "exit 4", o);
  EXPECT_EQ(r.exitCode, 4) << r.describe();

  // Without stdin text the program reads end of file at once.
  r = mac.run({"/bin/cat"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
}

TEST_F(EmulatedMacTest, ProgramsOfTheBuildTreeRunFromTheirOwnPathReadOnly) {
  EmulatedMac mac;
  const std::string self = selfPath();
  RunResult r = mac.run({self, "--gtest_list_tests", "--gtest_filter=EmulatedMacTest.*"});
  ASSERT_EQ(r.exitCode, 0) << r.describe();
  EXPECT_THAT(r.out, HasSubstr("ProgramsOfTheBuildTreeRunFromTheirOwnPathReadOnly"));

  const std::string dir = fs::path(self).parent_path().string();
  r = sh(mac, "touch '" + dir + "/written-from-inside'");
  EXPECT_NE(r.exitCode, 0) << r.describe();
  EXPECT_FALSE(fs::exists(dir + "/written-from-inside"));
}

TEST_F(EmulatedMacTest, HostsFileMapsTheDemoHostsToLoopbackOnly) {
  EmulatedMac mac;
  mac.addHost("mirror.vantor.test");
  for (const char* host : {"download.vantor.test", "crl.vantor.test", "www.vantor.test",
                           "localhost", "mirror.vantor.test"}) {
    SCOPED_TRACE(host);
    const RunResult r = mac.run({"/usr/bin/getent", "hosts", host});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(r.out, "127.0.0.1       " + std::string(host) + "\n");
  }
  const RunResult r = mac.run({"/usr/bin/getent", "hosts", "elsewhere.vantor.test"});
  EXPECT_NE(r.exitCode, 0) << r.describe();
}

TEST_F(EmulatedMacTest, LookupsWithAddrconfigFindTheDemoHosts) {
  // getent ahostsv4 asks with AI_ADDRCONFIG, as Qt does; it answers only
  // because loopback carries a second address.
  if (geteuid() != 0)
    GTEST_SKIP() << "without root a sandbox outside the private network cannot add the second "
                    "loopback address";
  EmulatedMac mac;
  for (const char* host : {"download.vantor.test", "localhost"}) {
    SCOPED_TRACE(host);
    const RunResult r = mac.run({"/usr/bin/getent", "ahostsv4", host});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    std::istringstream lines(r.out);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
      ++count;
      EXPECT_EQ(line.rfind("127.0.0.1 ", 0), 0u) << "only 127.0.0.1 expected: " << line;
    }
    EXPECT_GT(count, 0);
  }
}

TEST_F(EmulatedMacTest, CertificateStoreHoldsOnlyTheTrustedAuthorities) {
  EmulatedMac mac;
  const std::string dir = mac.scratch() + "/pki";
  fs::create_directories(dir);
  // Two authorities in one PEM file and a third alone, made with real keys.
  for (const char* name : {"a", "b", "c"})
    hostCommand("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Test CA " +
                std::string(name) + "' -keyout " + dir + "/" + name + ".key -out " + dir + "/" +
                name + ".pem 2>/dev/null");
  hostCommand("cat " + dir + "/a.pem " + dir + "/b.pem > " + dir + "/ab.pem");
  mac.trustCertificate(dir + "/ab.pem");
  harness::copyPath(dir, mac.tmp() + "/pki");

  struct Case {
    std::string cert;
    std::string options;
    bool trusted;
  };
  const std::vector<Case> cases = {
      {"/tmp/pki/a.pem", "-no-CAfile -CApath /etc/ssl/certs", true},
      {"/tmp/pki/b.pem", "-no-CAfile -CApath /etc/ssl/certs", true},
      {"/tmp/pki/c.pem", "-no-CAfile -CApath /etc/ssl/certs", false},
      {"/tmp/pki/b.pem", "-no-CApath -CAfile /etc/ssl/certs/ca-certificates.crt", true},
      {"/tmp/pki/a.pem", "", true},  // OpenSSL's default places lead to the same store
      // The host's own authorities are visible under /usr but not trusted.
      {"/usr/share/ca-certificates/mozilla/ISRG_Root_X1.crt", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cert + " " + c.options);
    if (c.cert.rfind("/usr/", 0) == 0 && !fs::exists(c.cert)) continue;
    const RunResult r = sh(mac, "openssl verify " + c.options + " " + c.cert);
    EXPECT_EQ(r.exitCode == 0, c.trusted) << r.describe();
  }

  mac.trustCertificate(dir + "/c.pem");
  const RunResult r = sh(mac, "openssl verify -no-CAfile -CApath /etc/ssl/certs /tmp/pki/c.pem");
  EXPECT_EQ(r.exitCode, 0) << r.describe();
  EXPECT_THROW(mac.trustCertificate(dir + "/a.key"), std::runtime_error);
}

TEST_F(EmulatedMacTest, SyslogRecordsArriveInOrderWithTheirHeader) {
  EmulatedMac mac;
  RunResult r = mac.run({"/usr/bin/logger", "--socket-errors=on", "-u", "/dev/log", "-p",
                         "local3.warning", "-t", "myident", "first %d record"});
  ASSERT_EQ(r.exitCode, 0) << r.describe();
  auto records = mac.syslog();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].facility, LOG_LOCAL3);
  EXPECT_EQ(records[0].priority, LOG_WARNING);
  EXPECT_EQ(records[0].identity, "myident");
  EXPECT_EQ(records[0].message, "first %d record");
  EXPECT_GT(records[0].senderPid, 0);
  EXPECT_EQ(records[0].raw.rfind("<156>", 0), 0u) << records[0].raw;

  // Far more records than the socket's queue holds: the program must not
  // block, and none may be lost or reordered.
  mac.clearSyslog();
  EXPECT_TRUE(mac.syslog().empty());
  r = sh(mac, "i=0; while [ $i -lt 60 ]; do logger -u /dev/log -t n \"record $i\"; i=$((i+1)); done");
  ASSERT_EQ(r.exitCode, 0) << r.describe();
  records = mac.syslog();
  ASSERT_EQ(records.size(), 60u);
  for (int i = 0; i < 60; ++i) EXPECT_EQ(records[i].message, "record " + std::to_string(i));
  EXPECT_EQ(records[0].facility, LOG_USER);
  EXPECT_EQ(records[0].priority, LOG_NOTICE);
}

TEST(SyslogRecordParse, ReadsTheGlibcHeader) {
  struct Case {
    std::string raw;
    int priority, facility;
    std::string timestamp, identity;
    int pid;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"<13>Dec 11 12:31:11 vantor-probe: Download success", LOG_NOTICE, LOG_USER,
       "Dec 11 12:31:11", "vantor-probe", -1, "Download success"},
      {"<11>Jan  2 03:04:05 Install Demo[42]: failed: %d (x)", LOG_ERR, LOG_USER,
       "Jan  2 03:04:05", "Install Demo", 42, "failed: %d (x)"},
      {"<191>Feb 28 23:59:59 a: ", LOG_DEBUG, LOG_LOCAL7, "Feb 28 23:59:59", "a", -1, ""},
      {"<15>Mar  9 00:00:00 p: two: colons", LOG_DEBUG, LOG_USER, "Mar  9 00:00:00", "p", -1,
       "two: colons"},
      {"no header", -1, -1, "", "", -1, ""},
      {"<x>Dec 11 12:31:11 p: m", -1, -1, "", "", -1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.raw);
    const auto r = harness::parseSyslogRecord(c.raw);
    EXPECT_EQ(r.raw, c.raw);
    EXPECT_EQ(r.priority, c.priority);
    EXPECT_EQ(r.facility, c.facility);
    EXPECT_EQ(r.timestamp, c.timestamp);
    EXPECT_EQ(r.identity, c.identity);
    EXPECT_EQ(r.pid, c.pid);
    EXPECT_EQ(r.message, c.message);
  }
}

TEST_F(EmulatedMacTest, BackgroundProgramsShareTheTreesAndStopOnRequest) {
  EmulatedMac mac;
  auto server = mac.startBackground(
      {"/bin/sh", "-c",
       "trap 'echo stopping; exit 5' TERM; echo ready > /tmp/ready; "
       "while :; do sleep 0.05; done"});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fs::exists(mac.tmp() + "/ready") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(fs::exists(mac.tmp() + "/ready")) << server->errSoFar();
  EXPECT_TRUE(server->running());
  // A program run meanwhile sees what the background one wrote.
  EXPECT_EQ(mac.run({"/bin/cat", "/tmp/ready"}).out, "ready\n");

  RunResult r = server->stop();
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 5) << r.describe();
  EXPECT_EQ(r.out, "stopping\n");
  EXPECT_FALSE(server->running());

  // One that ignores SIGTERM is killed after the grace period.
  auto stubborn = mac.startBackground({"/bin/sh", "-c", "trap '' TERM; sleep 30"});
  r = stubborn->stop(std::chrono::milliseconds(300));
  EXPECT_TRUE(r.timedOut);

  auto quick = mac.startBackground({"/bin/sh", "-c", "echo done; exit 9"});
  r = quick->wait(std::chrono::seconds(20));
  EXPECT_EQ(r.exitCode, 9) << r.describe();
  EXPECT_EQ(r.out, "done\n");
}

TEST_F(EmulatedMacTest, WithoutThePrivateNetworkTheTestsLoopbackIsOutOfReach) {
  ASSERT_FALSE(EmulatedMac::inPrivateNetwork());
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  socklen_t len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  const std::string port = std::to_string(ntohs(addr.sin_port));

  EmulatedMac mac;
  const RunResult r = mac.run({"/bin/bash", "-c", "echo hi > /dev/tcp/127.0.0.1/" + port});
  EXPECT_NE(r.exitCode, 0) << r.describe();
  fcntl(listener, F_SETFL, O_NONBLOCK);
  EXPECT_LT(accept(listener, nullptr, nullptr), 0) << "a connection came from inside";
  close(listener);
}

}  // namespace
