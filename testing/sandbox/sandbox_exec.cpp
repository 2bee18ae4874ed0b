// vantor-sandbox-exec STATUS-FD [--own-network] PROGRAM [ARG...]
//
// The first process inside an emulated Mac (pid 1 of its pid namespace). It
// starts PROGRAM with the arguments as given and writes one line to STATUS-FD
// when it has ended: "exited N", "signaled N", or "start-failed ERRNO TEXT"
// when PROGRAM could not be executed. The sandbox itself can only pass on an
// exit code (a signal becomes 128+N), so this line is how the harness tells
// a crash from an exit status and a missing program from a status of 127.
//
// With --own-network (a sandbox whose loopback nobody else shares) it first
// gives loopback the second address that the harness's private network has
// (see loopback.h); a failure there only affects some name lookups.
//
// SIGTERM, SIGINT and SIGHUP sent to it are passed on to PROGRAM, so that the
// harness can ask a background server to stop and still learn how it ended.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "loopback.h"

namespace {

volatile sig_atomic_t gChild = 0;

void forward(int sig) {
  if (gChild > 0) kill(gChild, sig);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: vantor-sandbox-exec STATUS-FD PROGRAM [ARG...]\n");
    return 127;
  }
  const int statusFd = std::atoi(argv[1]);
  fcntl(statusFd, F_SETFD, FD_CLOEXEC);
  if (std::strcmp(argv[2], "--own-network") == 0) {
    harness::addLoopbackAlias();
    ++argv;
    if (--argc < 3) return 127;
  }

  int execPipe[2];
  if (pipe2(execPipe, O_CLOEXEC) != 0) {
    dprintf(statusFd, "start-failed %d %s\n", errno, std::strerror(errno));
    return 127;
  }

  // Forwarding is in place before the fork so a signal arriving at once is
  // not lost; the child puts the default dispositions back before exec.
  struct sigaction sa {};
  sa.sa_handler = forward;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);

  const pid_t child = fork();
  if (child < 0) {
    dprintf(statusFd, "start-failed %d %s\n", errno, std::strerror(errno));
    return 127;
  }
  if (child == 0) {
    close(execPipe[0]);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &dfl, nullptr);
    if (std::strchr(argv[2], '/') != nullptr)
      execv(argv[2], argv + 2);
    else
      execvp(argv[2], argv + 2);
    const int e = errno;
    (void)!write(execPipe[1], &e, sizeof e);
    _exit(127);
  }
  gChild = child;
  close(execPipe[1]);

  int execErrno = 0;
  ssize_t n;
  do {
    n = read(execPipe[0], &execErrno, sizeof execErrno);
  } while (n < 0 && errno == EINTR);
  close(execPipe[0]);

  int status = 0;
  pid_t w;
  do {
    w = waitpid(child, &status, 0);
  } while (w < 0 && errno == EINTR);

  if (n == static_cast<ssize_t>(sizeof execErrno)) {
    dprintf(statusFd, "start-failed %d %s: %s\n", execErrno, argv[2], std::strerror(execErrno));
    return 127;
  }
  if (WIFSIGNALED(status)) {
    dprintf(statusFd, "signaled %d\n", WTERMSIG(status));
    return 128 + WTERMSIG(status);
  }
  dprintf(statusFd, "exited %d\n", WEXITSTATUS(status));
  return WEXITSTATUS(status);
}
