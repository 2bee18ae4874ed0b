// Process information and child processes.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The arguments the process was started with, program path at index 0, as
// given (from /proc/self/cmdline). Never empty for a running program.
const std::vector<std::string>& processArguments();

// The outcome of running a child to its end.
struct ChildResult {
  bool started = false;  // false: the child could not be started at all
  int error = 0;         // errno of the failed start when !started
  int status = 0;        // exit status, or the signal number when it was killed
  bool signalled = false;
};

// Starts the program at `path` with `arguments` (argv[1...]; argv[0] is
// `path`), inheriting environment, working directory and standard streams
// (posix_spawn), and waits until it has ended. No time limit. While the
// termination signals are caught (platform/termination_signals.h), one that
// another process sends during the wait is passed on to the child and the
// wait goes on; it does not reach the termination handler.
ChildResult runChildAndWait(const std::string& path, const std::vector<std::string>& arguments);

}  // namespace platform
