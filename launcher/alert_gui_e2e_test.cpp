// The launcher's alert on a real X server (Xvfb, started here): the launcher,
// installed as Sample.app in the emulated Mac and finding no runtime, shows
// one window titled "Brenmoor Vantor"; its content is compared pixel for
// pixel with the alert rendered from the expected texts of the chosen record
// (title, informative text, one button) by the same alert part; the button is
// pressed with the keyboard and the launcher exits with 4.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "EmulatedMac.h"
#include "FixtureTree.h"
#include "launcher_test_support.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using launchertest::utf8;

// An Xvfb server of this test program's own.
class XServer {
 public:
  XServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0", "1024x768x24", nullptr};
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    // Xvfb writes its display number once it accepts clients.
    char number[16] = {};
    if (pid_ > 0 && read(fds[0], number, sizeof number - 1) > 0) {
      const std::string n = std::to_string(std::stoi(number));
      if (socketAccepts("/tmp/.X11-unix/X" + n)) display_ = ":" + n;
    }
    close(fds[0]);
  }
  ~XServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& display() const { return display_; }

 private:
  // Xvfb reports its display while its socket in the file system may not yet
  // take connections, and that socket is the only one a sandbox with its own
  // network reaches (the abstract one belongs to this network namespace).
  static bool socketAccepts(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;) {
      const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      const bool ok = fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
      if (fd >= 0) close(fd);
      if (ok) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  pid_t pid_ = -1;
  std::string display_;
};

// Standard output of a shell command run against the X server.
std::string onDisplay(const std::string& display, const std::string& command) {
  const std::string full = "DISPLAY=" + display + " " + command + " 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(full.c_str(), "r")) {
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

class LauncherAlertGui : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<XServer>(); }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    if (auto reason = harness::EmulatedMac::unavailableReason()) GTEST_SKIP() << "emulated Mac not available: " << *reason;
    if (server_->display().empty()) GTEST_SKIP() << "Xvfb could not be started";
    display_ = server_->display();
    mac_ = std::make_unique<harness::EmulatedMac>();
    launchertest::installSampleApp(mac_->applications());
    // The pointer away from where the alert appears, so no hover differs.
    onDisplay(display_, "xdotool mousemove 0 0");
  }

  // The id of the only window named `title`, once it is shown; empty after
  // the time is up.
  std::string waitForWindow(const std::string& title) {
    for (auto end = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < end;) {
      std::string ids = onDisplay(display_, "xdotool search --onlyvisible --name '^" + title + "$'");
      if (!ids.empty()) return ids.substr(0, ids.find('\n'));
      std::this_thread::sleep_for(100ms);
    }
    return {};
  }

  // The window's content as a PPM image (no metadata, so equal pixels give
  // equal bytes), once two shots in a row agree: painting has finished.
  std::string settledScreenshot(const std::string& window) {
    std::string last = onDisplay(display_, "import -window " + window + " -depth 8 ppm:-");
    for (int i = 0; i < 50; ++i) {
      std::this_thread::sleep_for(200ms);
      std::string shot = onDisplay(display_, "import -window " + window + " -depth 8 ppm:-");
      if (!shot.empty() && shot == last) return shot;
      last = shot;
    }
    return {};
  }

  // Presses the default button with the keyboard, as a user would.
  void pressReturn(const std::string& window) {
    onDisplay(display_, "xdotool windowfocus --sync " + window + " key Return");
  }

  struct Shown {
    std::string title;
    std::string image;
    harness::RunResult result;
  };

  // Starts `argv` in the emulated Mac on the display, captures its alert,
  // closes it with Return and waits for the program to end.
  Shown showAndClose(const std::vector<std::string>& argv, harness::RunOptions options) {
    options.display = display_;
    auto process = mac_->startBackground(argv, options);
    Shown shown;
    const std::string window = waitForWindow("Brenmoor Vantor");
    if (window.empty()) {
      shown.result = process->stop();
      ADD_FAILURE() << "no alert window appeared: " << shown.result.describe();
      return shown;
    }
    shown.title = onDisplay(display_, "xdotool getwindowname " + window);
    shown.image = settledScreenshot(window);
    pressReturn(window);
    shown.result = process->wait(30s);
    return shown;
  }

  // The alert of record `index` as the reference program renders it.
  Shown reference(int index) {
    const LauncherMessageRecord& record = launcherMessages[index];
    return showAndClose({LAUNCHER_ALERT_REFERENCE_PATH, launchertest::alertLibraryPath(), "Brenmoor Vantor",
                         utf8(record.missingRuntimeMessage), utf8(record.okText)},
                        {});
  }

  static std::unique_ptr<XServer> server_;
  std::string display_;
  std::unique_ptr<harness::EmulatedMac> mac_;
};

std::unique_ptr<XServer> LauncherAlertGui::server_;

TEST_F(LauncherAlertGui, ShowsOneButtonAlertInTheChosenLanguageAndExitsWith4WhenClosed) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> env;
    int record;
  };
  const Case cases[] = {
      {"fi then es gives Spanish", {{"LANGUAGE", "fi:es"}}, 2},
      {"pt-BR gives Portuguese", {{"LANG", "pt_BR.UTF-8"}}, 7},
  };

  // The comparison can tell languages apart: English looks different.
  const Shown english = reference(16);
  ASSERT_FALSE(english.image.empty());
  EXPECT_EQ(english.result.exitCode, 0) << english.result.describe();

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Shown expected = reference(c.record);
    ASSERT_FALSE(expected.image.empty());
    EXPECT_NE(expected.image, english.image);

    harness::RunOptions options;
    options.env = c.env;
    const Shown shown = showAndClose({"/Applications/Sample.app/Contents/MacOS/Sample"}, options);
    EXPECT_EQ(shown.title, "Brenmoor Vantor\n");
    EXPECT_TRUE(shown.image == expected.image) << "the launcher's alert differs from the expected rendering";
    EXPECT_EQ(shown.result.exitCode, 4) << shown.result.describe();
    // With a display the console stand-in stays silent.
    EXPECT_EQ(shown.result.err.find("[" + utf8(launcherMessages[c.record].okText) + "]"), std::string::npos);
  }
}

}  // namespace
