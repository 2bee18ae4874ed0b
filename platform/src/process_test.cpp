// Child processes started for real: arguments, inherited environment,
// working directory and standard streams, exit status, signals and programs
// that cannot be started.
#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/paths.h"
#include "test_tempdir.h"

namespace platform {
namespace {

using testing::TempDir;

// Points one of this process's file descriptors at a file for one scope.
class Redirect {
 public:
  Redirect(int fd, const std::string& file, int flags) : fd_(fd), saved_(dup(fd)) {
    const int f = open(file.c_str(), flags, 0600);
    dup2(f, fd);
    close(f);
  }
  ~Redirect() {
    dup2(saved_, fd_);
    close(saved_);
  }

 private:
  int fd_, saved_;
};

TEST(Child, ArgumentsAsGivenAndProgramPathFirst) {
  TempDir dir;
  const std::string out = dir / "args";
  // The child prints its own argv from /proc, so nothing on the way (a shell
  // splitting words, expanding "*" or "$HOME") could hide a fault.
  const ChildResult r = runChildAndWait(
      "/bin/sh", {"-c", "tr '\\0' '|' < /proc/$$/cmdline > \"$0\"", out, "two words", "", "*",
                  "-x", "$HOME", "line\nbreak"});
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(r.signalled);
  EXPECT_EQ(testing::readFile(out),
            "/bin/sh|-c|tr '\\0' '|' < /proc/$$/cmdline > \"$0\"|" + out +
                "|two words||*|-x|$HOME|line\nbreak|");
}

TEST(Child, InheritsEnvironmentWorkingDirectoryAndStreams) {
  TempDir dir;
  const std::string in = dir.write("in", "from the parent's stdin\n");
  const std::string out = dir / "out";
  const std::string err = dir / "err";
  char oldCwd[4096];
  ASSERT_NE(getcwd(oldCwd, sizeof oldCwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  setenv("VANTOR_CHILD_PROBE", "value with spaces", 1);
  ChildResult r;
  {
    Redirect i(0, in, O_RDONLY);
    Redirect o(1, out, O_WRONLY | O_CREAT | O_TRUNC);
    Redirect e(2, err, O_WRONLY | O_CREAT | O_TRUNC);
    r = runChildAndWait("/bin/sh",
                        {"-c", "pwd; printf '%s\\n' \"$VANTOR_CHILD_PROBE\"; cat; echo oops >&2"});
  }
  unsetenv("VANTOR_CHILD_PROBE");
  ASSERT_EQ(chdir(oldCwd), 0);
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.status, 0);
  const std::string cwd = resolvingSymlinksInPath(dir.path());
  EXPECT_EQ(testing::readFile(out), cwd + "\nvalue with spaces\nfrom the parent's stdin\n");
  EXPECT_EQ(testing::readFile(err), "oops\n");
}

TEST(Child, ExitStatusAndSignal) {
  struct {
    const char* script;
    int status;
    bool signalled;
  } cases[] = {
      {"exit 0", 0, false},        {"exit 7", 7, false},          {"exit 255", 255, false},
      {"kill -TERM $$", SIGTERM, true}, {"kill -KILL $$", SIGKILL, true}, {"kill -SEGV $$", SIGSEGV, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    const ChildResult r = runChildAndWait("/bin/sh", {"-c", c.script});
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.signalled, c.signalled);
  }
}

TEST(Child, ProgramsThatCannotStart) {
  TempDir dir;
  const std::string notExecutable = dir.write("data", "#!/bin/sh\nexit 0\n", 0644);
  const std::string badInterpreter = dir.write("bad", "#!/no/such/shell\n", 0755);
  struct {
    std::string path;
    int error;
  } cases[] = {
      {dir / "missing", ENOENT},
      {"", ENOENT},
      {dir.path(), EACCES},
      {badInterpreter, ENOENT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const ChildResult r = runChildAndWait(c.path, {"arg"});
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.error, c.error);
  }
  // Root may read anything but still needs an execute bit to run it.
  const ChildResult r = runChildAndWait(notExecutable, {});
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.error, EACCES);
}

TEST(ProcessArguments, ThisProcess) {
  const auto& args = processArguments();
  ASSERT_FALSE(args.empty());
  EXPECT_NE(args[0].find("platform_core_test"), std::string::npos);
  EXPECT_EQ(&args, &processArguments());
}

}  // namespace
}  // namespace platform
