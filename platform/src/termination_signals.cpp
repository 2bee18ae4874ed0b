// The signal half of the termination service: the handler and its pipe.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/termination_signals.h"

namespace platform {
namespace {

// The byte written for a signal: its number, with this bit when the kernel
// generated it for the terminal.
constexpr unsigned char kFromTerminalBit = 0x80;

// Read by the handler on any thread: lock-free atomics only.
std::atomic<int> sWriteEnd{-1};
std::atomic<bool> sCaught{false};
int sReadEnd = -1;

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free descriptor");

extern "C" void writeSignalByte(int signalNumber, siginfo_t* info, void*) {
  const int savedErrno = errno;
  unsigned char byte = static_cast<unsigned char>(signalNumber & 0x7f);
  // SI_KERNEL: the terminal driver (Ctrl-C, hang-up) rather than kill() or
  // sigqueue() from a process.
  if (info != nullptr && info->si_code == SI_KERNEL) byte |= kFromTerminalBit;
  const int fd = sWriteEnd.load(std::memory_order_relaxed);
  // A full pipe drops the byte: thousands of requests are already waiting.
  if (fd >= 0) (void)!::write(fd, &byte, 1);
  errno = savedErrno;
}

bool makePipe() {
  if (sReadEnd >= 0) return true;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  sReadEnd = fds[0];
  sWriteEnd.store(fds[1]);
  return true;
}

void setDefault(int signalNumber) {
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  sigemptyset(&sa.sa_mask);
  ::sigaction(signalNumber, &sa, nullptr);
}

void drain() {
  unsigned char buffer[256];
  while (sReadEnd >= 0 && ::read(sReadEnd, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace

const std::vector<int>& terminationSignals() {
  static const std::vector<int> signals{SIGTERM, SIGINT, SIGHUP};
  return signals;
}

int catchTerminationSignals() {
  if (sCaught) return sReadEnd;
  if (!makePipe()) return -1;
  std::vector<struct sigaction> previous;
  for (const int s : terminationSignals()) {
    struct sigaction sa {};
    sa.sa_sigaction = writeSignalByte;
    sa.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&sa.sa_mask);
    struct sigaction old {};
    if (::sigaction(s, &sa, &old) != 0) {
      // Put back what the ones before had.
      for (std::size_t i = 0; i < previous.size(); ++i)
        ::sigaction(terminationSignals()[i], &previous[i], nullptr);
      return -1;
    }
    previous.push_back(old);
  }
  sCaught = true;
  return sReadEnd;
}

void releaseTerminationSignals() {
  if (!sCaught) return;
  for (const int s : terminationSignals()) setDefault(s);
  sCaught = false;
  drain();
}

int terminationSignalPipe() { return sCaught ? sReadEnd : -1; }

CaughtSignal takeCaughtTerminationSignal() {
  CaughtSignal caught;
  if (sReadEnd < 0) return caught;
  unsigned char byte = 0;
  ssize_t n;
  do {
    n = ::read(sReadEnd, &byte, 1);
  } while (n < 0 && errno == EINTR);
  if (n != 1) return caught;
  caught.number = byte & 0x7f;
  caught.fromTerminal = (byte & kFromTerminalBit) != 0;
  return caught;
}

}  // namespace platform
