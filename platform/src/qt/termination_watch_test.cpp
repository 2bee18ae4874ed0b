// The termination service with real signals sent to this very process, on
// the real event loop, and a real child process for the hand-on during
// runChildAndWait.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/run_loop.h"
#include "platform/termination_signals.h"

namespace platform {
namespace {

class TerminationWatch : public ::testing::Test {
 protected:
  void TearDown() override { clearTerminationHandler(); }

  std::vector<int> received_;
  bool inLoop_ = false;
};

TEST_F(TerminationWatch, EachSignalReachesTheHandlerFromTheEventLoopNotFromTheSignalHandler) {
  ASSERT_TRUE(setTerminationHandler([this](int s) { received_.push_back(s); }));
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
    received_.clear();
    ASSERT_EQ(::kill(::getpid(), s), 0);
    // The signal has been handled by now (sent to ourselves, unblocked), but
    // only the byte in the pipe: the program's handler waits for the loop.
    EXPECT_TRUE(received_.empty()) << "signal " << s << " was handled inside the signal handler";
    EXPECT_TRUE(runLoopUntil([this] { return !received_.empty(); }, 5.0)) << "signal " << s;
    EXPECT_EQ(received_, std::vector<int>{s});
  }
}

TEST_F(TerminationWatch, SignalsCaughtBeforeTheLoopRunsAreHandledOneByOneInOrder) {
  ASSERT_TRUE(setTerminationHandler([this](int s) { received_.push_back(s); }));
  ::kill(::getpid(), SIGHUP);
  ::kill(::getpid(), SIGTERM);
  EXPECT_TRUE(runLoopUntil([this] { return received_.size() >= 2; }, 5.0));
  runLoopFor(0.05);
  EXPECT_EQ(received_, (std::vector<int>{SIGHUP, SIGTERM}));
}

TEST_F(TerminationWatch, ASecondHandlerReplacesTheFirst) {
  std::vector<int> first;
  ASSERT_TRUE(setTerminationHandler([&first](int s) { first.push_back(s); }));
  ASSERT_TRUE(setTerminationHandler([this](int s) { received_.push_back(s); }));
  ::kill(::getpid(), SIGINT);
  EXPECT_TRUE(runLoopUntil([this] { return !received_.empty(); }, 5.0));
  EXPECT_TRUE(first.empty());
  EXPECT_EQ(received_, std::vector<int>{SIGINT});
}

TEST_F(TerminationWatch, ClearedTheSignalEndsTheProcessAgain) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setTerminationHandler([](int) { _exit(3); });
        clearTerminationHandler();
        ::kill(::getpid(), SIGTERM);
        runLoopFor(1.0);
        _exit(0);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(terminationSignalPipe(), -1);
}

// The child asks for the parent's end (kill from another process); the
// parent, waiting in runChildAndWait, passes the signal on: the child's trap
// ends it with 42 (7 after some seconds when nothing came), and the handler
// never hears of it.
TEST_F(TerminationWatch, DuringAChildWaitASignalIsPassedOnToTheChildAndNotHandled) {
  ASSERT_TRUE(setTerminationHandler([this](int s) { received_.push_back(s); }));
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
    const std::string name = s == SIGTERM ? "TERM" : s == SIGINT ? "INT" : "HUP";
    const ChildResult r = runChildAndWait(
        "/bin/sh", {"-c", "trap 'exit 42' " + name + "; kill -" + name +
                         " $PPID; i=0; while [ $i -lt 250 ]; do sleep 0.02; i=$((i+1)); done; exit 7"});
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(r.signalled) << name;
    EXPECT_EQ(r.status, 42) << name << ": the child did not get the signal";
    runLoopFor(0.1);
    EXPECT_TRUE(received_.empty()) << name << " reached the handler too";
  }
}

// Without the signals caught, a wait is a plain wait and a signal keeps its
// default effect: shown with a child that sends its parent (a process of
// its own here) SIGTERM.
TEST(TerminationSignalsReleased, AChildWaitNoLongerPassesSignalsOn) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        catchTerminationSignals();
        releaseTerminationSignals();
        runChildAndWait("/bin/sh", {"-c", "trap 'exit 42' TERM; kill -TERM $PPID; sleep 0.5"});
        _exit(0);
      },
      ::testing::KilledBySignal(SIGTERM), "");
}

}  // namespace
}  // namespace platform
