// Search paths, home and the private temporary directory. The temporary
// directory's fallback lives at a fixed name in /tmp, so those cases run in a
// child process with a private /tmp (a mount namespace), where planting links
// and foreign folders at that name cannot disturb anything else.
#include "platform/paths.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <optional>

#include "test_tempdir.h"

namespace platform {
namespace {

using testing::TempDir;

// Sets or clears an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SearchPaths, LiteralFoldersInDomainOrder) {
  ScopedEnv home("HOME", "/home/tester");
  using V = std::vector<std::string>;
  const unsigned machine = LocalDomainMask | NetworkDomainMask | SystemDomainMask;
  EXPECT_EQ(searchPathsForDirectoriesInDomains(SearchPathDirectory::Library, machine, true),
            (V{"/Library", "/Network/Library", "/System/Library"}));
  EXPECT_EQ(searchPathsForDirectoriesInDomains(SearchPathDirectory::Library, AllDomainsMask, true),
            (V{"/home/tester/Library", "/Library", "/Network/Library", "/System/Library"}));
  EXPECT_EQ(searchPathsForDirectoriesInDomains(SearchPathDirectory::Library, UserDomainMask, false),
            (V{"~/Library"}));
  EXPECT_EQ(searchPathsForDirectoriesInDomains(SearchPathDirectory::ApplicationSupport,
                                               UserDomainMask, true),
            (V{"/home/tester/Library/Application Support"}));
  EXPECT_EQ(searchPathsForDirectoriesInDomains(SearchPathDirectory::ApplicationSupport,
                                               SystemDomainMask | LocalDomainMask, false),
            (V{"/Library/Application Support", "/System/Library/Application Support"}));
  // Core services exist only in the system domain.
  EXPECT_EQ(searchPathsForDirectoriesInDomains(SearchPathDirectory::CoreServices, AllDomainsMask,
                                               true),
            (V{"/System/Library/CoreServices"}));
  EXPECT_EQ(searchPathsForDirectoriesInDomains(SearchPathDirectory::CoreServices, LocalDomainMask,
                                               true),
            V{});
  EXPECT_EQ(searchPathsForDirectoriesInDomains(SearchPathDirectory::Library, 0, true), V{});
}

TEST(Home, FromHomeElseThePasswordDatabase) {
  const struct passwd* pw = getpwuid(getuid());
  ASSERT_NE(pw, nullptr);
  const std::string fromDatabase = pw->pw_dir;
  {
    ScopedEnv home("HOME", "/somewhere/else");
    EXPECT_EQ(homeDirectory(), "/somewhere/else");
  }
  {
    ScopedEnv home("HOME", "");
    EXPECT_EQ(homeDirectory(), fromDatabase);
  }
  {
    ScopedEnv home("HOME", nullptr);
    EXPECT_EQ(homeDirectory(), fromDatabase);
  }
}

TEST(PathStrings, Operations) {
  struct {
    std::string base, component, joined;
  } appends[] = {
      {"a", "b", "a/b"},   {"a/", "b", "a/b"},   {"", "b", "b"},         {"/", "b", "/b"},
      {"a", "x/y", "a/x/y"}, {"a", "", "a"},     {"/a//", "/b", "/a/b"}, {"/Library", "Frameworks/Brenmoor Vantor.framework", "/Library/Frameworks/Brenmoor Vantor.framework"},
  };
  for (const auto& c : appends)
    EXPECT_EQ(appendPathComponent(c.base, c.component), c.joined) << c.base << " + " << c.component;

  struct {
    std::string path, last, parent;
  } splits[] = {
      {"/a/b.c", "b.c", "/a"}, {"/a/b/", "b", "/a"}, {"/", "/", "/"}, {"a", "a", ""},
      {"/a", "a", "/"},        {"a/b", "b", "a"},    {"", "", ""},     {"a//b", "b", "a"},
  };
  for (const auto& c : splits) {
    EXPECT_EQ(lastPathComponent(c.path), c.last) << c.path;
    EXPECT_EQ(deletingLastPathComponent(c.path), c.parent) << c.path;
  }
}

TEST(PathStrings, ResolvingLinks) {
  TempDir dir;
  dir.mkdirs("real/inner");
  dir.symlink("real", "link");
  const std::string real = resolvingSymlinksInPath(dir.path());  // /tmp itself may be a link
  EXPECT_EQ(resolvingSymlinksInPath(dir / "link/inner"), real + "/real/inner");
  EXPECT_EQ(resolvingSymlinksInPath(dir / "missing/x"), dir / "missing/x");
}

TEST(TemporaryDirectory, TmpdirWhenItIsADirectory) {
  TempDir dir;
  {
    ScopedEnv tmp("TMPDIR", dir.path().c_str());
    EXPECT_EQ(temporaryDirectory(), dir.path() + "/");
  }
  {
    const std::string withSlash = dir.path() + "/";
    ScopedEnv tmp("TMPDIR", withSlash.c_str());
    EXPECT_EQ(temporaryDirectory(), withSlash);
  }
}

// Runs `body` in a child with a private, empty /tmp and returns what it
// wrote, or none when this machine gives no mount namespace.
std::optional<std::string> inPrivateTmp(const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return std::nullopt;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    auto reply = [&](const std::string& s) {
      (void)!write(fds[1], s.data(), s.size());
      _exit(0);
    };
    bool ok = unshare(CLONE_NEWNS) == 0;
    if (!ok && geteuid() != 0) {
      // Without root, a user namespace grants the mount rights.
      const uid_t uid = geteuid();
      const gid_t gid = getegid();
      ok = unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0;
      auto put = [](const char* file, const std::string& text) {
        const int fd = open(file, O_WRONLY);
        const bool done = fd >= 0 && write(fd, text.data(), text.size()) == ssize_t(text.size());
        if (fd >= 0) close(fd);
        return done;
      };
      ok = ok && put("/proc/self/setgroups", "deny") &&
           put("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") &&
           put("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1");
    }
    ok = ok && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") == 0;
    if (!ok) reply("\x01");
    reply(body());
  }
  close(fds[1]);
  std::string out;
  char buf[512];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (out == "\x01") return std::nullopt;
  return out;
}

const std::string kPrivate = "/tmp/vantor-" + std::to_string(getuid());

// Describes the folder at kPrivate as "<type> <mode>".
std::string describePrivate() {
  struct stat st {};
  if (lstat(kPrivate.c_str(), &st) != 0) return "missing";
  char mode[8];
  snprintf(mode, sizeof mode, "%o", st.st_mode & 07777);
  return std::string(S_ISLNK(st.st_mode) ? "link " : S_ISDIR(st.st_mode) ? "dir " : "other ") + mode;
}

TEST(TemporaryDirectory, PrivateFolderIsMadeAndChecked) {
  struct Case {
    const char* name;
    std::function<void()> plant;  // what is at the name before the call
    bool accepted;
    const char* after;  // describePrivate() after the call
  };
  const Case cases[] = {
      {"Fresh", [] {}, true, "dir 700"},
      {"FreshUnderHarshUmask", [] { umask(0777); }, true, "dir 700"},
      {"OursAlready", [] { mkdir(kPrivate.c_str(), 0700); }, true, "dir 700"},
      {"OpenToOthers", [] { mkdir(kPrivate.c_str(), 0700); chmod(kPrivate.c_str(), 0755); }, false,
       "dir 755"},
      {"OwnerCannotWrite", [] { mkdir(kPrivate.c_str(), 0500); }, false, "dir 500"},
      {"PlantedLinkToOurFolder",
       [] {
         mkdir("/tmp/elsewhere", 0700);
         symlink("/tmp/elsewhere", kPrivate.c_str());
       },
       false, "link 777"},
      {"PlantedDanglingLink", [] { symlink("/tmp/nothing", kPrivate.c_str()); }, false, "link 777"},
      {"PlainFile", [] { close(open(kPrivate.c_str(), O_CREAT | O_WRONLY, 0600)); }, false,
       "other 600"},
      {"TmpdirIsAFile",
       [] {
         close(open("/tmp/file", O_CREAT | O_WRONLY, 0600));
         setenv("TMPDIR", "/tmp/file", 1);
       },
       true, "dir 700"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto out = inPrivateTmp([&] {
      unsetenv("TMPDIR");
      c.plant();
      const std::string first = temporaryDirectory();
      const std::string second = temporaryDirectory();
      return first + "|" + second + "|" + describePrivate();
    });
    if (!out) GTEST_SKIP() << "no mount namespace on this machine";
    const std::string expected = c.accepted ? kPrivate + "/" : "";
    EXPECT_EQ(*out, expected + "|" + expected + "|" + c.after);
  }
}

TEST(TemporaryDirectory, RefusesAFolderOfAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make a folder of another user";
  const auto out = inPrivateTmp([] {
    unsetenv("TMPDIR");
    mkdir(kPrivate.c_str(), 0700);
    if (chown(kPrivate.c_str(), 4242, 4242) != 0) return std::string("chown failed");
    return temporaryDirectory() + "|" + describePrivate();
  });
  if (!out) GTEST_SKIP() << "no mount namespace on this machine";
  EXPECT_EQ(*out, "|dir 700");
}

}  // namespace
}  // namespace platform
