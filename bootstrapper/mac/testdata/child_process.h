// Test support: run a real program as a child with a given environment and
// collect what it writes; an Xvfb server of the test's own.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testsupport {

struct ChildOutput {
  int status = -1;  // exit status, 128 + signal when killed, -1 when not started
  std::string out, err;
};

// The current environment with `unset` removed and `set` added.
inline std::vector<std::string> environmentWith(const std::map<std::string, std::string>& set,
                                                const std::vector<std::string>& unset) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    std::string name = entry.substr(0, entry.find('='));
    bool drop = set.count(name) != 0;
    for (const auto& u : unset) drop = drop || name == u;
    if (!drop) env.push_back(entry);
  }
  for (const auto& [k, v] : set) env.push_back(k + "=" + v);
  return env;
}

// Runs `argv` (argv[0] is the program path) to its end; both outputs are
// drained together so a talkative child cannot block.
inline ChildOutput runChild(std::vector<std::string> argv, std::vector<std::string> env) {
  std::vector<char*> a, e;
  for (auto& s : argv) a.push_back(s.data());
  a.push_back(nullptr);
  for (auto& s : env) e.push_back(s.data());
  e.push_back(nullptr);
  int outPipe[2], errPipe[2];
  ChildOutput r;
  if (pipe2(outPipe, O_CLOEXEC) != 0) return r;
  if (pipe2(errPipe, O_CLOEXEC) != 0) return r;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, a[0], &actions, nullptr, a.data(), e.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (rc == 0) {
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    int open = 2;
    while (open > 0 && ::poll(fds, 2, -1) > 0) {
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
        char buf[4096];
        ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          sinks[i]->append(buf, static_cast<std::size_t>(n));
        } else {
          fds[i].fd = -1;
          --open;
        }
      }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  ::close(outPipe[0]);
  ::close(errPipe[0]);
  return r;
}

// A child started in the background, its outputs discarded; killed if still
// running when the object goes.
class BackgroundChild {
 public:
  BackgroundChild(std::vector<std::string> argv, std::vector<std::string> env) {
    std::vector<char*> a, e;
    for (auto& s : argv) a.push_back(s.data());
    a.push_back(nullptr);
    for (auto& s : env) e.push_back(s.data());
    e.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, a[0], &actions, nullptr, a.data(), e.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~BackgroundChild() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool started() const { return pid_ > 0; }
  // The exit status once the child has ended within `timeout`, else -1.
  int waitFor(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
      int status = 0;
      pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (std::chrono::steady_clock::now() > deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
};

// An Xvfb server of this test's own on a free display number; display() is
// empty when it could not be started.
class XvfbServer {
 public:
  XvfbServer() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    posix_spawn_file_actions_adddup2(&actions, devnull, 2);
    const char* argv[] = {"Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0", "1280x800x24", nullptr};
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(devnull);
    ::close(fds[1]);
    // Xvfb writes its display number once it accepts clients.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (pid_ > 0 && ::poll(&p, 1, 15000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~XvfbServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Runs a shell command line on `display` and returns its standard output
// without the final line feed.
inline std::string onDisplay(const std::string& display, const std::string& command) {
  auto r = runChild({"/bin/sh", "-c", command}, environmentWith({{"DISPLAY", display}}, {}));
  while (!r.out.empty() && r.out.back() == '\n') r.out.pop_back();
  return r.out;
}

}  // namespace testsupport
