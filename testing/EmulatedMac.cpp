#include "EmulatedMac.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "FixtureTree.h"
#include "sandbox/loopback.h"

extern char** environ;

namespace fs = std::filesystem;

namespace harness {

namespace {

constexpr const char* kSourceDir = VANTOR_SOURCE_DIR;
constexpr const char* kBinaryDir = VANTOR_BINARY_DIR;
constexpr const char* kSandboxExec = VANTOR_SANDBOX_EXEC;

// The fixture trees, by their emulated top-level folder.
constexpr const char* kTrees[] = {"/Library", "/Network", "/System", "/Applications", "/Users",
                                  "/tmp"};

// Whether `path` is `prefix` or lies below it.
bool isUnder(const std::string& path, const std::string& prefix) {
  if (path.size() < prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return false;
  return path.size() == prefix.size() || path[prefix.size()] == '/' || prefix == "/";
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string bwrapPath() {
  if (const char* path = std::getenv("PATH")) {
    std::stringstream dirs(path);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
      if (dir.empty()) continue;
      const std::string candidate = dir + "/bwrap";
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
  }
  return "/usr/bin/bwrap";
}

// Moves `fd` above the standard numbers 0..4 that the child's file actions
// fill, so no dup2 there overwrites another of our descriptors.
int lift(int fd) {
  if (fd < 0 || fd > 4) return fd;
  const int high = fcntl(fd, F_DUPFD_CLOEXEC, 10);
  close(fd);
  return high;
}

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    read = lift(fds[0]);
    write = lift(fds[1]);
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  void closeRead() {
    if (read >= 0) close(read);
    read = -1;
  }
  void closeWrite() {
    if (write >= 0) close(write);
    write = -1;
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
};

// Starts `args` in a process group of its own with the descriptors given as
// its 0, 1, 2 (and 3, 4 when not negative) and the environment `env`; the
// signal mask and SIGPIPE are reset. Returns the pid, or -1 with errno.
pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, int in,
            int out, int err, int fd3, int fd4) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in, 0);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
  if (fd3 >= 0) posix_spawn_file_actions_adddup2(&actions, fd3, 3);
  if (fd4 >= 0) posix_spawn_file_actions_adddup2(&actions, fd4, 4);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                      POSIX_SPAWN_SETPGROUP);

  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    errno = rc;
    return -1;
  }
  return pid;
}

// Reads what is available on a non-blocking descriptor; false at end of file.
bool drainInto(int fd, std::string& sink) {
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      sink.append(buf, static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Fills the result from the line of vantor-sandbox-exec, or explains why
// there is none.
void applyStatusLine(const std::string& line, int sandboxStatus, RunResult& r) {
  int value = 0;
  if (std::sscanf(line.c_str(), "exited %d", &value) == 1) {
    r.exitCode = value;
  } else if (std::sscanf(line.c_str(), "signaled %d", &value) == 1) {
    r.signal = value;
  } else if (line.rfind("start-failed ", 0) == 0) {
    std::string text = line.substr(13);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    r.startFailure = "cannot start the program: " + text;
  } else if (!r.timedOut) {
    std::ostringstream why;
    why << "the sandbox did not run the program (bubblewrap ";
    if (WIFEXITED(sandboxStatus))
      why << "exit status " << WEXITSTATUS(sandboxStatus);
    else if (WIFSIGNALED(sandboxStatus))
      why << "killed by signal " << WTERMSIG(sandboxStatus);
    why << "); see stderr";
    r.startFailure = why.str();
  }
}

pid_t waitNoHang(pid_t pid, int& status) {
  pid_t w;
  do {
    w = waitpid(pid, &status, WNOHANG);
  } while (w < 0 && errno == EINTR);
  return w;
}

// The standard binds shared by every sandbox of the host's top-level links:
// /bin, /lib and friends are links into /usr on Debian 12, plain folders on
// older layouts.
void addTopLevelSystemPaths(std::vector<std::string>& args) {
  for (const char* top : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
    struct stat st;
    if (lstat(top, &st) != 0) continue;
    if (S_ISLNK(st.st_mode)) {
      std::error_code ec;
      const fs::path target = fs::read_symlink(top, ec);
      if (ec) continue;
      args.insert(args.end(), {"--symlink", target.string(), top});
    } else if (S_ISDIR(st.st_mode)) {
      args.insert(args.end(), {"--ro-bind", top, top});
    }
  }
}

std::atomic<bool> gPrivateNetwork{false};

}  // namespace

// ---- results and records ---------------------------------------------------

std::string RunResult::describe() const {
  std::ostringstream s;
  if (!startFailure.empty())
    s << startFailure;
  else if (timedOut)
    s << "timed out";
  else if (signal != 0)
    s << "killed by signal " << signal << " (" << strsignal(signal) << ")";
  else
    s << "exit code " << exitCode;
  s << "\n--- stdout ---\n" << out << "\n--- stderr ---\n" << err;
  return s.str();
}

SyslogRecord parseSyslogRecord(const std::string& raw) {
  SyslogRecord r;
  r.raw = raw;
  // "<PRI>"
  if (raw.size() < 3 || raw[0] != '<') return r;
  const std::size_t close = raw.find('>');
  if (close == std::string::npos || close < 2 || close > 4) return r;
  int pri = 0;
  for (std::size_t i = 1; i < close; ++i) {
    if (raw[i] < '0' || raw[i] > '9') return r;
    pri = pri * 10 + (raw[i] - '0');
  }
  r.priority = LOG_PRI(pri);
  r.facility = pri & LOG_FACMASK;
  // "Mmm dd hh:mm:ss " (the day padded with a blank)
  std::size_t pos = close + 1;
  if (raw.size() >= pos + 16 && raw[pos + 3] == ' ' && raw[pos + 6] == ' ' &&
      raw[pos + 9] == ':' && raw[pos + 12] == ':' && raw[pos + 15] == ' ') {
    r.timestamp = raw.substr(pos, 15);
    pos += 16;
  }
  // "ident[pid]: " or "ident: "
  const std::size_t colon = raw.find(": ", pos);
  if (colon == std::string::npos) {
    r.message = raw.substr(pos);
    return r;
  }
  std::string ident = raw.substr(pos, colon - pos);
  if (!ident.empty() && ident.back() == ']') {
    const std::size_t open = ident.rfind('[');
    if (open != std::string::npos) {
      const std::string digits = ident.substr(open + 1, ident.size() - open - 2);
      if (!digits.empty() &&
          std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        r.pid = std::atoi(digits.c_str());
        ident.resize(open);
      }
    }
  }
  r.identity = ident;
  r.message = raw.substr(colon + 2);
  return r;
}

// ---- background processes --------------------------------------------------

BackgroundProcess::~BackgroundProcess() {
  if (!done_ && pid_ > 0) {
    killpg(pid_, SIGKILL);
    int status;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (statusFd_ >= 0) close(statusFd_);
}

bool BackgroundProcess::running() {
  if (done_) return false;
  int status;
  if (waitNoHang(pid_, status) == pid_) {
    std::string line;
    drainInto(statusFd_, line);
    result_ = collect(false);
    applyStatusLine(line, status, result_);
    done_ = true;
    return false;
  }
  return true;
}

RunResult BackgroundProcess::collect(bool timedOut) {
  RunResult r;
  r.timedOut = timedOut;
  r.out = readWholeFile(outPath_);
  r.err = readWholeFile(errPath_);
  return r;
}

RunResult BackgroundProcess::wait(std::chrono::milliseconds timeout) {
  if (done_) return result_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    if (waitNoHang(pid_, status) == pid_) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      killpg(pid_, SIGKILL);
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      result_ = collect(true);
      done_ = true;
      return result_;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::string line;
  drainInto(statusFd_, line);
  result_ = collect(false);
  applyStatusLine(line, status, result_);
  done_ = true;
  return result_;
}

RunResult BackgroundProcess::stop(std::chrono::milliseconds grace) {
  if (done_) return result_;
  if (programPid_ > 0) kill(programPid_, SIGTERM);
  RunResult r = wait(grace);
  return r;
}

bool BackgroundProcess::signal(int signalNumber) {
  if (done_ || programPid_ <= 0 || !running()) return false;
  return kill(programPid_, signalNumber) == 0;
}

std::string BackgroundProcess::outSoFar() const { return readWholeFile(outPath_); }
std::string BackgroundProcess::errSoFar() const { return readWholeFile(errPath_); }

// ---- the emulated Mac ------------------------------------------------------

EmulatedMac::EmulatedMac(EmulatedMacOptions options) : options_(std::move(options)) {
  std::string base = fs::temp_directory_path().string();
  // The socket path must fit sockaddr_un; a deep TMPDIR falls back to /tmp.
  if (base.size() > 60) base = "/tmp";
  std::string templ = base + "/vantor-mac-XXXXXX";
  if (mkdtemp(templ.data()) == nullptr)
    throw std::runtime_error("cannot create the scratch folder under " + base);
  scratch_ = templ;

  const std::string root = scratch_ + "/root";
  for (const auto& dir :
       {root + "/Library/Frameworks", root + "/Network/Library",
        root + "/System/Library/Frameworks", root + "/System/Library/CoreServices",
        root + "/Applications", root + "/Users/" + options_.userName + "/Library", root + "/tmp",
        scratch_ + "/etc/ssl/certs"})
    fs::create_directories(dir);
  fs::permissions(root + "/tmp", fs::perms::all | fs::perms::sticky_bit);
  writeFile(scratch_ + "/etc/ssl/certs/ca-certificates.crt", "");
  writeHosts();
  if (!options_.systemVersion.empty()) setSystemVersion(options_.systemVersion);

  syslogFd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (syslogFd_ < 0) throw std::runtime_error("cannot create the /dev/log socket");
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string sockPath = scratch_ + "/log.sock";
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sockPath.c_str());
  if (bind(syslogFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    throw std::runtime_error("cannot bind the /dev/log socket at " + sockPath);
  chmod(sockPath.c_str(), 0666);
  const int on = 1;
  setsockopt(syslogFd_, SOL_SOCKET, SO_PASSCRED, &on, sizeof on);
  const int rcvbuf = 4 << 20;
  setsockopt(syslogFd_, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
  setNonBlocking(syslogFd_);
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  // A reader keeps the socket's short datagram queue empty: a program that
  // logs more than a handful of records would otherwise block in syslog().
  syslogThread_ = std::thread([this] { syslogReader(); });
}

EmulatedMac::~EmulatedMac() {
  if (wakeFd_ >= 0) {
    const std::uint64_t one = 1;
    (void)!write(wakeFd_, &one, sizeof one);
  }
  if (syslogThread_.joinable()) syslogThread_.join();
  if (syslogFd_ >= 0) close(syslogFd_);
  if (wakeFd_ >= 0) close(wakeFd_);

  // Lazily: a program may still hold a file open in it.
  if (tmpMounted_) umount2(tmp().c_str(), MNT_DETACH);
  const bool keep = std::getenv("VANTOR_KEEP_SCRATCH") != nullptr || ::testing::Test::HasFailure();
  if (keep) {
    std::cerr << "emulated Mac kept at " << scratch_ << " (fixture trees in root/)\n";
    return;
  }
  std::error_code ec;
  fs::remove_all(scratch_, ec);
}

std::string EmulatedMac::library() const { return scratch_ + "/root/Library"; }
std::string EmulatedMac::networkLibrary() const { return scratch_ + "/root/Network/Library"; }
std::string EmulatedMac::systemLibrary() const { return scratch_ + "/root/System/Library"; }
std::string EmulatedMac::applications() const { return scratch_ + "/root/Applications"; }
std::string EmulatedMac::home() const { return scratch_ + "/root/Users/" + options_.userName; }
std::string EmulatedMac::tmp() const { return scratch_ + "/root/tmp"; }

std::string EmulatedMac::hostPath(const std::string& emulatedPath) const {
  if (emulatedPath.empty() || emulatedPath[0] != '/')
    throw std::invalid_argument("not an absolute emulated path: " + emulatedPath);
  for (const char* tree : kTrees)
    if (isUnder(emulatedPath, tree)) return scratch_ + "/root" + emulatedPath;
  if (emulatedPath == "/etc/hosts" || isUnder(emulatedPath, "/etc/ssl/certs"))
    return scratch_ + emulatedPath;
  if (isUnder(emulatedPath, kSourceDir) || isUnder(emulatedPath, kBinaryDir)) return emulatedPath;
  throw std::invalid_argument("no host path for the emulated path " + emulatedPath);
}

void EmulatedMac::setSystemVersion(const std::string& productVersion) {
  platform::Dictionary d;
  d["ProductName"] = "Mac OS X";
  d["ProductVersion"] = productVersion;
  d["ProductBuildVersion"] = "13F1911";
  writePlist(systemLibrary() + "/CoreServices/SystemVersion.plist", d);
}

void EmulatedMac::removeSystemVersion() {
  std::error_code ec;
  fs::remove(systemLibrary() + "/CoreServices/SystemVersion.plist", ec);
}

void EmulatedMac::writeHosts() const {
  std::string text = "127.0.0.1\tlocalhost\n";
  for (const char* name : {"download.vantor.test", "crl.vantor.test", "www.vantor.test"})
    text += std::string("127.0.0.1\t") + name + "\n";
  for (const auto& name : extraHosts_) text += "127.0.0.1\t" + name + "\n";
  writeFile(scratch_ + "/etc/hosts", text);
}

void EmulatedMac::addHost(const std::string& name) {
  extraHosts_.push_back(name);
  writeHosts();
}

void EmulatedMac::trustCertificate(const std::string& pemPath) {
  const std::string certs = scratch_ + "/etc/ssl/certs";
  const std::string text = readFile(pemPath);
  static const std::string begin = "-----BEGIN CERTIFICATE-----";
  static const std::string end = "-----END CERTIFICATE-----";
  int found = 0;
  std::string bundle;
  for (std::size_t at = text.find(begin); at != std::string::npos; at = text.find(begin, at)) {
    const std::size_t stop = text.find(end, at);
    if (stop == std::string::npos) break;
    const std::string pem = text.substr(at, stop + end.size() - at) + "\n";
    at = stop;
    ++found;
    writeFile(certs + "/trusted-" + std::to_string(++trustedCount_) + ".pem", pem);
    bundle += pem;
  }
  if (found == 0) throw std::runtime_error("no certificate in " + pemPath);
  writeFile(certs + "/ca-certificates.crt", readFile(certs + "/ca-certificates.crt") + bundle);

  // The "<subject hash>.N" links that OpenSSL's hashed-directory lookup (and
  // so Qt's TLS backend) needs, made by OpenSSL's own tool. It warns about
  // ca-certificates.crt, which holds several certificates; that is expected.
  const int devNull = lift(open("/dev/null", O_RDWR | O_CLOEXEC));
  Pipe err;
  const pid_t pid = spawn({"/usr/bin/openssl", "rehash", certs}, {"PATH=/usr/bin:/bin"}, devNull,
                          devNull, err.write, -1, -1);
  close(devNull);
  if (pid < 0) throw std::runtime_error("cannot run openssl rehash");
  err.closeWrite();
  std::string messages;
  char buf[4096];
  ssize_t n;
  while ((n = read(err.read, buf, sizeof buf)) > 0) messages.append(buf, static_cast<std::size_t>(n));
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  // rehash exits 1 after a warning too, so the links themselves are checked
  // (a certificate trusted twice gets one link).
  int links = 0;
  for (const auto& e : fs::directory_iterator(certs))
    if (e.is_symlink()) ++links;
  if (links == 0) throw std::runtime_error("openssl rehash made no links: " + messages);
}

std::vector<std::string> EmulatedMac::environment(const RunOptions& options) const {
  std::map<std::string, std::string> env = {
      {"PATH", "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"},
      {"HOME", homePath()},
      {"USER", options_.userName},
      {"LOGNAME", options_.userName},
  };
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
    if (const char* v = std::getenv(name)) env[name] = v;
  if (!options.display.empty()) env["DISPLAY"] = options.display;
  for (const auto& [k, v] : options.env) env[k] = v;
  for (const auto& k : options.unsetEnv) env.erase(k);
  std::vector<std::string> out;
  for (const auto& [k, v] : env) out.push_back(k + "=" + v);
  return out;
}

std::vector<std::string> EmulatedMac::sandboxArgs(const RunOptions& options, int statusFd) const {
  const std::string root = scratch_ + "/root";
  std::vector<std::string> a = {bwrapPath(),
                                "--die-with-parent",
                                "--unshare-pid",
                                "--unshare-ipc",
                                "--unshare-uts",
                                "--unshare-cgroup-try",
                                "--hostname",
                                "emulated-mac",
                                "--as-pid-1"};
  // Inside the test's private network the sandbox shares it; otherwise it
  // gets a loopback of its own, so it never reaches the host's network.
  if (!inPrivateNetwork()) a.push_back("--unshare-net");
  a.insert(a.end(), {"--ro-bind", "/usr", "/usr"});
  addTopLevelSystemPaths(a);
  a.insert(a.end(), {"--ro-bind", "/etc", "/etc"});
  a.insert(a.end(), {"--ro-bind", scratch_ + "/etc/hosts", "/etc/hosts"});
  a.insert(a.end(), {"--ro-bind", scratch_ + "/etc/ssl/certs", "/etc/ssl/certs"});
  a.insert(a.end(), {"--proc", "/proc", "--dev", "/dev"});
  a.insert(a.end(), {"--bind", scratch_ + "/log.sock", "/dev/log"});
  for (const char* tree : kTrees) a.insert(a.end(), {"--bind", root + tree, tree});
  a.insert(a.end(), {"--ro-bind", kSourceDir, kSourceDir});
  if (!isUnder(kBinaryDir, kSourceDir)) a.insert(a.end(), {"--ro-bind", kBinaryDir, kBinaryDir});
  if (!options.display.empty() && fs::is_directory("/tmp/.X11-unix"))
    a.insert(a.end(), {"--bind", "/tmp/.X11-unix", "/tmp/.X11-unix"});
  for (const auto& b : options.binds)
    a.insert(a.end(), {b.readOnly ? "--ro-bind" : "--bind", b.hostPath, b.emulatedPath});
  a.insert(a.end(), {"--chdir", options.workingDirectory.empty() ? homePath()
                                                                 : options.workingDirectory});
  a.insert(a.end(), {"--", kSandboxExec, std::to_string(statusFd)});
  if (!inPrivateNetwork()) a.push_back("--own-network");
  return a;
}

RunResult EmulatedMac::run(const std::vector<std::string>& argv, const RunOptions& options) {
  RunResult r;
  if (argv.empty()) {
    r.startFailure = "no program given";
    return r;
  }
  Pipe in, out, err, status;
  std::vector<std::string> args = sandboxArgs(options, 3);
  args.insert(args.end(), argv.begin(), argv.end());

  const pid_t pid = spawn(args, environment(options), in.read, out.write, err.write,
                          status.write, -1);
  if (pid < 0) {
    r.startFailure = std::string("cannot start bubblewrap: ") + std::strerror(errno);
    return r;
  }
  in.closeRead();
  out.closeWrite();
  err.closeWrite();
  status.closeWrite();
  setNonBlocking(in.write);
  setNonBlocking(out.read);
  setNonBlocking(err.read);
  setNonBlocking(status.read);

  // Writing to a program that has already gone must not kill the test with
  // SIGPIPE: block it for this thread and discard a pending one afterwards.
  sigset_t pipeSet, oldSet;
  sigemptyset(&pipeSet);
  sigaddset(&pipeSet, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSet, &oldSet);

  std::size_t written = 0;
  if (options.stdinText.empty()) in.closeWrite();
  std::string statusLine;
  const auto deadline = std::chrono::steady_clock::now() + options.timeout;
  int waitStatus = 0;
  bool reaped = false;
  auto reapedAt = std::chrono::steady_clock::time_point{};
  for (;;) {
    std::vector<pollfd> fds;
    if (out.read >= 0) fds.push_back({out.read, POLLIN, 0});
    if (err.read >= 0) fds.push_back({err.read, POLLIN, 0});
    if (status.read >= 0) fds.push_back({status.read, POLLIN, 0});
    if (in.write >= 0) fds.push_back({in.write, POLLOUT, 0});
    const auto now = std::chrono::steady_clock::now();
    if (!reaped && waitNoHang(pid, waitStatus) == pid) {
      reaped = true;
      reapedAt = now;
    }
    // Everything inside dies with the sandbox, so the pipes close soon after;
    // the grace period only guards against a descriptor leaked elsewhere.
    if (fds.empty() || (fds.size() == 1 && in.write >= 0)) {
      if (reaped) break;
    } else if (reaped && now - reapedAt > std::chrono::seconds(2)) {
      break;
    }
    if (!r.timedOut && now >= deadline) {
      r.timedOut = true;
      killpg(pid, SIGKILL);
    }
    poll(fds.data(), fds.size(), 20);
    if (out.read >= 0 && !drainInto(out.read, r.out)) out.closeRead();
    if (err.read >= 0 && !drainInto(err.read, r.err)) err.closeRead();
    if (status.read >= 0 && !drainInto(status.read, statusLine)) status.closeRead();
    if (in.write >= 0) {
      while (written < options.stdinText.size()) {
        const ssize_t n = write(in.write, options.stdinText.data() + written,
                                options.stdinText.size() - written);
        if (n > 0) {
          written += static_cast<std::size_t>(n);
        } else {
          if (n < 0 && errno == EPIPE) written = options.stdinText.size();
          break;
        }
      }
      if (written >= options.stdinText.size()) in.closeWrite();
    }
  }
  if (!reaped) {
    killpg(pid, SIGKILL);
    while (waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
    }
  }
  in.closeWrite();
  timespec zero{0, 0};
  while (sigtimedwait(&pipeSet, nullptr, &zero) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &oldSet, nullptr);

  if (r.timedOut) {
    r.exitCode = -1;
    r.signal = 0;
    return r;
  }
  applyStatusLine(statusLine, waitStatus, r);
  return r;
}

std::unique_ptr<BackgroundProcess> EmulatedMac::startBackground(
    const std::vector<std::string>& argv, const RunOptions& options) {
  if (argv.empty()) throw std::invalid_argument("startBackground: no program given");
  std::unique_ptr<BackgroundProcess> p(new BackgroundProcess());
  const int n = ++backgroundCount_;
  p->outPath_ = scratch_ + "/background-" + std::to_string(n) + ".out";
  p->errPath_ = scratch_ + "/background-" + std::to_string(n) + ".err";

  const int devNull = lift(open("/dev/null", O_RDONLY | O_CLOEXEC));
  const int outFd = lift(open(p->outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  const int errFd = lift(open(p->errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  Pipe status, info;

  std::vector<std::string> args = sandboxArgs(options, 3);
  // The sandbox reports the pid of its first process (vantor-sandbox-exec)
  // as the test sees it, so stop() can signal that one alone.
  args.insert(args.begin() + 1, {"--json-status-fd", "4"});
  args.insert(args.end(), argv.begin(), argv.end());
  p->pid_ = spawn(args, environment(options), devNull, outFd, errFd, status.write, info.write);
  const int spawnErrno = errno;
  close(devNull);
  close(outFd);
  close(errFd);
  if (p->pid_ < 0)
    throw std::runtime_error(std::string("cannot start bubblewrap: ") + std::strerror(spawnErrno));
  status.closeWrite();
  info.closeWrite();
  p->statusFd_ = status.read;
  status.read = -1;
  setNonBlocking(p->statusFd_);

  // Wait for the first JSON document, {"child-pid": N, ...}; none comes when
  // the sandbox fails, and then the process has ended.
  std::string json;
  setNonBlocking(info.read);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (json.find('}') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd pfd{info.read, POLLIN, 0};
    poll(&pfd, 1, 50);
    if (!drainInto(info.read, json)) break;
  }
  const std::size_t key = json.find("\"child-pid\"");
  if (key != std::string::npos) {
    const std::size_t colon = json.find(':', key);
    if (colon != std::string::npos) p->programPid_ = std::atoi(json.c_str() + colon + 1);
  }
  return p;
}

// ---- the system log --------------------------------------------------------

void EmulatedMac::drainSyslogLocked() {
  for (;;) {
    char buf[65536];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    iovec iov{buf, sizeof buf};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(syslogFd_, &msg, MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    SyslogRecord rec = parseSyslogRecord(std::string(buf, static_cast<std::size_t>(n)));
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
        ucred cred;
        std::memcpy(&cred, CMSG_DATA(c), sizeof cred);
        rec.senderPid = cred.pid;
      }
    }
    records_.push_back(std::move(rec));
  }
}

void EmulatedMac::syslogReader() {
  for (;;) {
    pollfd fds[2] = {{syslogFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents & POLLIN) return;
    if (fds[0].revents & POLLIN) {
      std::lock_guard<std::mutex> lock(syslogMutex_);
      drainSyslogLocked();
    }
  }
}

std::vector<SyslogRecord> EmulatedMac::syslog() {
  std::lock_guard<std::mutex> lock(syslogMutex_);
  // A datagram is queued by the time the sender's call returns, so draining
  // here includes everything a finished program wrote.
  drainSyslogLocked();
  return records_;
}

void EmulatedMac::clearSyslog() {
  std::lock_guard<std::mutex> lock(syslogMutex_);
  drainSyslogLocked();
  records_.clear();
}

bool EmulatedMac::waitForSyslogMessage(const std::string& text, std::chrono::milliseconds timeout) {
  return waitForSyslogWhere(
      [&text](const std::vector<SyslogRecord>& records) {
        for (const SyslogRecord& r : records)
          if (r.message.find(text) != std::string::npos) return true;
        return false;
      },
      timeout);
}

std::optional<std::string> EmulatedMac::limitTmp(std::size_t bytes) {
  // A mount namespace of this thread's own, its mounts private, so the small
  // file system is never seen (or propagated) outside this test process.
  static thread_local bool ownMounts = false;
  if (!ownMounts) {
    if (unshare(CLONE_NEWNS) != 0) return std::string("unshare(CLONE_NEWNS) failed: ") + std::strerror(errno);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      return std::string("cannot make the mounts private: ") + std::strerror(errno);
    ownMounts = true;
  }
  if (tmpMounted_) umount2(tmp().c_str(), MNT_DETACH);
  const std::string data = "size=" + std::to_string(bytes) + ",mode=1777";
  if (mount("tmpfs", tmp().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, data.c_str()) != 0)
    return std::string("cannot mount a tmpfs at ") + tmp() + ": " + std::strerror(errno);
  tmpMounted_ = true;
  return std::nullopt;
}

bool EmulatedMac::waitForSyslog(std::size_t count, std::chrono::milliseconds timeout) {
  return waitForSyslogWhere([count](const std::vector<SyslogRecord>& records) { return records.size() >= count; },
                            timeout);
}

bool EmulatedMac::waitForSyslogWhere(const std::function<bool(const std::vector<SyslogRecord>&)>& done,
                                     std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(syslogMutex_);
      drainSyslogLocked();
      if (done(records_)) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// ---- availability and the private network ---------------------------------

std::optional<std::string> EmulatedMac::unavailableReason() {
  static const std::optional<std::string> reason = []() -> std::optional<std::string> {
    const std::string bwrap = bwrapPath();
    if (access(bwrap.c_str(), X_OK) != 0) return "bubblewrap (bwrap) is not installed";
    if (access(kSandboxExec, X_OK) != 0)
      return std::string("the sandbox launcher is not built: ") + kSandboxExec;
    std::vector<std::string> args = {bwrap, "--unshare-pid", "--unshare-ipc", "--unshare-net",
                                     "--ro-bind", "/usr", "/usr"};
    addTopLevelSystemPaths(args);
    args.insert(args.end(), {"--proc", "/proc", "--dev", "/dev", "--", "/usr/bin/true"});
    Pipe err;
    const int devNull = lift(open("/dev/null", O_RDWR | O_CLOEXEC));
    const pid_t pid = spawn(args, {"PATH=/usr/bin:/bin"}, devNull, devNull, err.write, -1, -1);
    close(devNull);
    if (pid < 0) return std::string("cannot start bubblewrap: ") + std::strerror(errno);
    err.closeWrite();
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(err.read, buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
      return "bubblewrap cannot create namespaces here: " + text;
    return std::nullopt;
  }();
  return reason;
}

bool EmulatedMac::inPrivateNetwork() { return gPrivateNetwork.load(); }

std::optional<std::string> EmulatedMac::enterPrivateNetwork() {
  static std::mutex m;
  std::lock_guard<std::mutex> lock(m);
  if (gPrivateNetwork) return std::nullopt;
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (uid == 0) {
    if (unshare(CLONE_NEWNET) != 0)
      return std::string("unshare(CLONE_NEWNET) failed: ") + std::strerror(errno);
  } else {
    // Without root a user namespace grants the right to own a network
    // namespace; the kernel allows it only in a single-threaded process.
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
      return std::string("unshare(CLONE_NEWUSER|CLONE_NEWNET) failed: ") + std::strerror(errno);
    // Files of /proc take one write each and cannot be chmod-ed, so no
    // writeFile() here.
    auto writeProc = [](const char* path, const std::string& text) {
      std::ofstream out(path);
      out << text;
      return static_cast<bool>(out.flush());
    };
    if (!writeProc("/proc/self/setgroups", "deny") ||
        !writeProc("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n") ||
        !writeProc("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n"))
      return std::string("cannot map the user into the new user namespace");
  }
  // A new network namespace has only loopback, and it is down.
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return std::string("socket failed: ") + std::strerror(errno);
  ifreq ifr{};
  std::snprintf(ifr.ifr_name, IFNAMSIZ, "lo");
  bool ok = ioctl(s, SIOCGIFFLAGS, &ifr) == 0;
  ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP | IFF_RUNNING);
  ok = ok && ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
  const int e = errno;
  close(s);
  if (!ok) return std::string("cannot bring loopback up: ") + std::strerror(e);
  if (!addLoopbackAlias())
    return std::string("cannot add the second loopback address: ") + std::strerror(errno);
  gPrivateNetwork = true;
  return std::nullopt;
}

std::string probePath() { return VANTOR_PROBE_PATH; }

}  // namespace harness
