// The emulated Mac: runs a real program of this project in a fresh root that
// bubblewrap assembles, so the program sees the literal macOS paths it was
// written for (/Library, /System/Library, /Users/<name>, ...) while nothing on
// the host changes. Used by the end-to-end tests of every area.
//
// What a program sees inside (host side in brackets; "scratch" is a per-object
// folder under the host's temporary directory):
//   /Library, /Network/Library, /System/Library, /Applications, /Users
//                        writable fixture trees       [scratch/root/...]
//   /System/Library/CoreServices/SystemVersion.plist  ProductVersion "10.9.5"
//                                                     unless changed
//   /Users/<name>        the home, HOME points at it; contains an empty Library
//   /tmp                 private and writable, kept for the object's life
//                        [scratch/root/tmp]; TMPDIR is not set unless asked
//   /usr, /etc           read-only binds of the host's, with /etc/hosts mapping
//                        download.vantor.test, crl.vantor.test, www.vantor.test
//                        and localhost to 127.0.0.1, and /etc/ssl/certs holding
//                        only the CA certificates the test trusts (hashed
//                        "<hash>.0" links plus ca-certificates.crt)
//   /bin, /lib, ...      the host's top-level links (or read-only binds)
//   /dev, /proc          fresh
//   /dev/log             a datagram socket this object reads (see syslog())
//   the source and build trees, read-only at their own paths, so programs built
//                        by the project run from where the build put them
// The program runs in its own pid, ipc and uts namespaces. Its network is
// loopback only: the test's private network when the test process has entered
// it (enterPrivateNetwork()), otherwise a loopback of its own that nothing
// outside can reach. Loopback carries 127.0.0.2 besides 127.0.0.1: glibc's
// lookups with AI_ADDRCONFIG, as Qt makes them, find no IPv4 address for the
// demo host names while 127.0.0.1 is the only address. (Without root, only
// the private network has it: bubblewrap then gives the program no right to
// add it to a loopback of its own.)
//
// Environment: only PATH, HOME, USER, LOGNAME and the sanitizer options
// (ASAN_OPTIONS, UBSAN_OPTIONS, LSAN_OPTIONS, when the test process has them)
// are set; DISPLAY and WAYLAND_DISPLAY are never passed unless a RunOptions
// asks, so programs take their no-display path. No locale variable is set by
// default: tests of languages set LANG, LANGUAGE, LC_* themselves.
//
// Symbolic links placed in the fixture trees must be relative (or name the
// emulated path): the host's scratch path does not exist inside.
//
// Not thread-safe except syslog(), clearSyslog() and waitForSyslog(), which
// may be called from any thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace harness {

// A host file or folder made visible inside at `emulatedPath`.
struct Bind {
  std::string hostPath;
  std::string emulatedPath;
  bool readOnly = true;
};

struct RunOptions {
  // Added to the default environment, replacing a default of the same name.
  std::map<std::string, std::string> env;
  // Default variables to leave out (e.g. "HOME").
  std::vector<std::string> unsetEnv;
  // Emulated path of the working directory; the home when empty.
  std::string workingDirectory;
  // Written to the program's standard input, which is then closed.
  std::string stdinText;
  // The program (with everything it started) is killed after this long.
  std::chrono::milliseconds timeout{std::chrono::seconds(60)};
  // More paths to show inside, after the standard ones (so they may cover a
  // part of them).
  std::vector<Bind> binds;
  // An X display such as ":99": sets DISPLAY and shows the host's
  // /tmp/.X11-unix inside (the private /tmp hides it otherwise).
  std::string display;
};

struct RunResult {
  // The program's exit status when it exited; -1 when it was killed by a
  // signal, timed out, or never started.
  int exitCode = -1;
  // The signal that ended the program, 0 when it exited.
  int signal = 0;
  bool timedOut = false;
  // Everything the program wrote on its standard output and standard error.
  std::string out;
  std::string err;
  // Set when the program could not be started inside (missing file, not
  // executable, the sandbox could not be built): the reason. exitCode is -1.
  std::string startFailure;

  bool exited() const { return startFailure.empty() && !timedOut && signal == 0; }
  // A one-paragraph account for assertion messages: status, stdout, stderr.
  std::string describe() const;
};

// One datagram received on /dev/log. glibc's syslog writes
// "<PRI>Mmm dd hh:mm:ss ident: message" (with "ident[pid]" only when the
// program asked for LOG_PID, which this system never does).
struct SyslogRecord {
  std::string raw;        // the datagram byte for byte
  int priority = -1;      // the severity, LOG_EMERG..LOG_DEBUG; -1 if unparsable
  int facility = -1;      // the facility as the syslog.h constants (LOG_USER is 8)
  std::string timestamp;  // "Mmm dd hh:mm:ss"
  std::string identity;   // the program name (or the tag set by openlog)
  int pid = -1;           // the "[pid]" of the header; -1 when absent
  std::string message;    // everything after "ident: " (or "ident[pid]: ")
  pid_t senderPid = -1;   // the sender's pid as the test process sees it
};

// Parses one datagram; fields that cannot be read keep their defaults and the
// raw bytes are always kept.
SyslogRecord parseSyslogRecord(const std::string& raw);

// A program started with startBackground(); killed (SIGKILL to its whole
// process group) when destroyed unless it has ended. Destroy it before the
// EmulatedMac it runs in: that one removes the trees it uses.
class BackgroundProcess {
 public:
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // Whether it is still running.
  bool running();
  // Sends SIGTERM, then SIGKILL after `grace`, and returns the result with
  // what it wrote so far.
  RunResult stop(std::chrono::milliseconds grace = std::chrono::seconds(5));
  // Sends `signalNumber` (SIGTERM, SIGINT or SIGHUP) to the program, through
  // the first process inside, which passes these three on as kill() would.
  // False when the program has ended or the signal could not be sent.
  bool signal(int signalNumber);
  // Waits up to `timeout` for it to end by itself; timedOut (and the program
  // killed) when it does not.
  RunResult wait(std::chrono::milliseconds timeout);
  // What it has written so far.
  std::string outSoFar() const;
  std::string errSoFar() const;

 private:
  friend class EmulatedMac;
  BackgroundProcess() = default;
  RunResult collect(bool timedOut);
  pid_t pid_ = -1;        // the sandbox (bubblewrap), leader of its process group
  pid_t programPid_ = -1;  // the first process inside, which passes SIGTERM on
  int statusFd_ = -1;
  std::string outPath_, errPath_;
  bool done_ = false;
  RunResult result_;
};

struct EmulatedMacOptions {
  // The user: home at /Users/<userName>; USER and LOGNAME.
  std::string userName = "tester";
  // ProductVersion of SystemVersion.plist; empty for no file.
  std::string systemVersion = "10.9.5";
};

class EmulatedMac {
 public:
  // Builds the scratch folder with its fixture trees and opens the /dev/log
  // socket. Throws std::runtime_error when that fails (the host's temporary
  // directory is not writable). Does not check that sandboxes can run: call
  // unavailableReason() (or VANTOR_REQUIRE_EMULATED_MAC()) first.
  explicit EmulatedMac(EmulatedMacOptions options = {});
  // Stops the syslog reader and removes the scratch folder, except when the
  // current test has failed or VANTOR_KEEP_SCRATCH is set in the test's
  // environment: then the folder is kept and its path printed.
  ~EmulatedMac();
  EmulatedMac(const EmulatedMac&) = delete;
  EmulatedMac& operator=(const EmulatedMac&) = delete;

  // Why sandboxes cannot run on this host (bubblewrap missing, namespaces
  // refused), or none when they can: checked once per process by starting a
  // trivial sandbox.
  static std::optional<std::string> unavailableReason();

  // Moves the test process into a network namespace of its own with only
  // loopback, up. Sandboxes started afterwards share it, so servers that the
  // test starts on 127.0.0.1 are reachable from inside and nothing else is.
  // Needs root (or unprivileged user namespaces and a single-threaded
  // process). Call it at the start of the test, before starting threads: a
  // network namespace belongs to the thread that entered it and to what that
  // thread starts later. Calling it again does nothing. Returns none on
  // success, else the reason.
  static std::optional<std::string> enterPrivateNetwork();
  // Whether enterPrivateNetwork() has succeeded in this process.
  static bool inPrivateNetwork();

  // Host paths of the fixture trees (folders that exist; fill them freely).
  std::string library() const;         // /Library
  std::string networkLibrary() const;  // /Network/Library
  std::string systemLibrary() const;   // /System/Library
  std::string applications() const;    // /Applications
  std::string home() const;            // /Users/<name>
  std::string tmp() const;             // /tmp
  // The scratch folder itself (for files the test keeps outside the root).
  std::string scratch() const { return scratch_; }

  const std::string& userName() const { return options_.userName; }
  // The emulated home path, "/Users/<name>".
  std::string homePath() const { return "/Users/" + options_.userName; }

  // The host path of an emulated absolute path below one of the writable trees
  // (/Library, /Network, /System, /Applications, /Users, /tmp) or of the
  // replaced /etc/hosts and /etc/ssl/certs; paths of the source and build
  // trees map to themselves. Throws std::invalid_argument for any other path.
  std::string hostPath(const std::string& emulatedPath) const;

  // Writes /System/Library/CoreServices/SystemVersion.plist with this
  // ProductVersion (and ProductName "Mac OS X"), or removes it.
  void setSystemVersion(const std::string& productVersion);
  void removeSystemVersion();

  // Puts a file system of `bytes` (rounded up to whole pages) at /tmp in
  // place of the usual folder, for tests of a full disk: a tmpfs mounted
  // over tmp() in a mount namespace of the calling thread, so the test sees
  // the same files at tmp() as the programs do at /tmp, and nothing changes
  // on the host. Call it from the thread that runs the programs, before the
  // first run; what tmp() held is hidden. Needs root (or a user namespace of
  // the test's own). Returns none on success, else the reason. The file
  // system goes away with this object.
  std::optional<std::string> limitTmp(std::size_t bytes);

  // Trusts every certificate of the PEM file `pemPath` (host path) inside:
  // each is stored in /etc/ssl/certs as a file of its own with the
  // "<subject hash>.N" link of OpenSSL's hashed directories (openssl rehash),
  // and appended to ca-certificates.crt. Throws std::runtime_error when the
  // file holds no certificate or the links cannot be made.
  void trustCertificate(const std::string& pemPath);
  // Maps one more host name to 127.0.0.1 in /etc/hosts.
  void addHost(const std::string& name);

  // Runs `argv` (argv[0] is the emulated path of the program, or a name found
  // in PATH) inside and waits for it. Never throws for the program's failures;
  // see RunResult.
  RunResult run(const std::vector<std::string>& argv, const RunOptions& options = {});

  // Starts `argv` inside (in a sandbox of its own over the same trees) and
  // returns at once; options.timeout is not applied. Its output goes to files
  // in the scratch folder. A server started this way is reachable by other
  // sandboxes only inside the private network (enterPrivateNetwork()).
  std::unique_ptr<BackgroundProcess> startBackground(const std::vector<std::string>& argv,
                                                     const RunOptions& options = {});

  // The records received on /dev/log since construction or the last
  // clearSyslog(), in order of arrival. Everything a finished program sent is
  // included.
  std::vector<SyslogRecord> syslog();
  void clearSyslog();
  // Waits until at least `count` records are held; returns whether they came.
  bool waitForSyslog(std::size_t count, std::chrono::milliseconds timeout);
  // Waits until a record whose message contains `text` has arrived (since
  // construction or the last clearSyslog()); returns whether it came.
  bool waitForSyslogMessage(const std::string& text, std::chrono::milliseconds timeout);

 private:
  std::vector<std::string> sandboxArgs(const RunOptions& options, int statusFd) const;
  std::vector<std::string> environment(const RunOptions& options) const;
  void writeHosts() const;
  void drainSyslogLocked();
  // Polls the records (drained from the socket first) until `done` says
  // yes or `timeout` has passed; returns whether it said yes.
  bool waitForSyslogWhere(const std::function<bool(const std::vector<SyslogRecord>&)>& done,
                          std::chrono::milliseconds timeout);
  void syslogReader();

  EmulatedMacOptions options_;
  std::string scratch_;
  std::vector<std::string> extraHosts_;
  int trustedCount_ = 0;
  bool tmpMounted_ = false;
  int backgroundCount_ = 0;

  int syslogFd_ = -1;
  int wakeFd_ = -1;
  std::mutex syslogMutex_;
  std::vector<SyslogRecord> records_;
  std::thread syslogThread_;
};

// The path of the probe of the installation services (target vantor-probe),
// the same inside and outside. A test that runs it depends on that target.
std::string probePath();

}  // namespace harness

// Skips the current test, with the reason, when sandboxes cannot run here.
#define VANTOR_REQUIRE_EMULATED_MAC()                                             \
  do {                                                                             \
    if (auto vantorReason_ = ::harness::EmulatedMac::unavailableReason())          \
      GTEST_SKIP() << "emulated Mac not available: " << *vantorReason_;            \
  } while (0)

// Also enters the private network, skipping when that is refused.
#define VANTOR_REQUIRE_PRIVATE_NETWORK()                                          \
  do {                                                                             \
    VANTOR_REQUIRE_EMULATED_MAC();                                                 \
    if (auto vantorReason_ = ::harness::EmulatedMac::enterPrivateNetwork())        \
      GTEST_SKIP() << "private network not available: " << *vantorReason_;        \
  } while (0)
