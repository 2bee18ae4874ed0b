#include "platform/process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include "platform/termination_signals.h"

extern char** environ;

namespace platform {
namespace {

// Waits for `pid` while termination signals are caught: each one sent by a
// process is passed on to the child (see termination_signals.h). A pidfd
// wakes the wait the moment the child ends; where there is none, the child
// is looked at every few milliseconds.
pid_t waitRelayingTerminationSignals(pid_t pid, int signalPipe, int& status) {
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  pid_t waited = 0;
  for (;;) {
    waited = waitpid(pid, &status, WNOHANG);
    if (waited != 0 && !(waited < 0 && errno == EINTR)) break;
    pollfd fds[2] = {{signalPipe, POLLIN, 0}, {pidfd, POLLIN, 0}};
    ::poll(fds, pidfd >= 0 ? 2 : 1, pidfd >= 0 ? -1 : 20);
    if (fds[0].revents & POLLIN) {
      for (CaughtSignal s = takeCaughtTerminationSignal(); s.number != 0; s = takeCaughtTerminationSignal())
        if (!s.fromTerminal) ::kill(pid, s.number);
    }
  }
  if (pidfd >= 0) ::close(pidfd);
  return waited;
}

}  // namespace

const std::vector<std::string>& processArguments() {
  // Read once: the arguments of a running process do not change, and callers
  // keep references to the list.
  static const std::vector<std::string> arguments = [] {
    std::vector<std::string> out;
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // NUL-separated, each argument NUL-terminated (an empty argument is an
    // empty run between two NULs).
    std::size_t start = 0;
    while (start < raw.size()) {
      std::size_t end = raw.find('\0', start);
      if (end == std::string::npos) end = raw.size();
      out.emplace_back(raw, start, end - start);
      start = end + 1;
    }
    if (out.empty()) {
      char exe[4096];
      const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
      out.emplace_back(n > 0 ? std::string(exe, static_cast<std::size_t>(n)) : std::string());
    }
    return out;
  }();
  return arguments;
}

ChildResult runChildAndWait(const std::string& path, const std::vector<std::string>& arguments) {
  ChildResult result;
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  // No file actions and no attributes: the child inherits the environment,
  // working directory and standard streams as they are. glibc reports a
  // failed exec (missing program, no execute permission) as the result.
  const int rc = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    result.error = rc;
    return result;
  }
  result.started = true;

  int status = 0;
  pid_t waited;
  if (const int signalPipe = terminationSignalPipe(); signalPipe >= 0) {
    waited = waitRelayingTerminationSignals(pid, signalPipe, status);
  } else {
    do {
      waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
  }
  if (waited < 0) {
    // The child was reaped elsewhere (a SIGCHLD handler set to ignore); its
    // status is lost.
    result.error = errno;
    result.status = -1;
    return result;
  }
  if (WIFSIGNALED(status)) {
    result.signalled = true;
    result.status = WTERMSIG(status);
  } else {
    result.status = WEXITSTATUS(status);
  }
  return result;
}

}  // namespace platform
