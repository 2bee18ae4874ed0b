#include "platform/application.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest/QTest>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>

#include "gui_test_support.h"
#include "platform/interface_file.h"
#include "widgets_qt.h"

namespace {

using platform::Application;

QWidget* widgetOf(platform::Window* w) { return static_cast<platform::qt::QtWindow*>(w)->widget(); }

TEST(Application, OffscreenCountsAsADisplay) {
  EXPECT_TRUE(Application::sharedApplication().hasDisplay());
  EXPECT_EQ(&Application::sharedApplication(), &Application::sharedApplication());
}

TEST(ModalLoop, EndsWithTheCodeOfAClickedButton) {
  auto& app = Application::sharedApplication();
  auto file = platform::loadInterfaceFile("WidgetGallery");
  bool wasModal = false;
  file->button("pushButton")->setAction([&] {
    wasModal = app.isRunningModal();
    app.stopModalWithCode(7);
  });
  auto* push = widgetOf(file->window())->findChild<QPushButton*>("pushButton");
  QTimer::singleShot(0, [push] { QTest::mouseClick(push, Qt::LeftButton); });
  EXPECT_EQ(app.runModalForWindow(*file->window()), 7);
  EXPECT_TRUE(wasModal);
  EXPECT_FALSE(app.isRunningModal());
  // The window stays on screen after its loop: the caller decides.
  EXPECT_TRUE(file->window()->isVisible());
  EXPECT_EQ(widgetOf(file->window())->windowModality(), Qt::ApplicationModal);
}

TEST(ModalLoop, ClosingTheWindowEndsItAsAborted) {
  auto& app = Application::sharedApplication();
  auto file = platform::loadInterfaceFile("WidgetGallery");
  QWidget* w = widgetOf(file->window());
  QTimer::singleShot(0, [w] { QTest::keyClick(w, Qt::Key_Escape); });  // QDialog rejects on Escape
  EXPECT_EQ(app.runModalForWindow(*file->window()), platform::kModalResponseAbort);

  auto other = platform::loadInterfaceFile("WidgetGallery");
  QWidget* o = widgetOf(other->window());
  QTimer::singleShot(0, [o] { o->close(); });
  EXPECT_EQ(app.runModalForWindow(*other->window()), platform::kModalResponseAbort);
}

TEST(ModalLoop, LoopsNestAndStopTheInnermost) {
  auto& app = Application::sharedApplication();
  auto outer = platform::loadInterfaceFile("WidgetGallery");
  auto inner = platform::loadInterfaceFile("WidgetGallery");
  std::optional<int> innerResult;
  QTimer::singleShot(0, [&] {
    QTimer::singleShot(0, [&] { app.stopModalWithCode(2); });
    innerResult = app.runModalForWindow(*inner->window());
    app.stopModalWithCode(3);
  });
  EXPECT_EQ(app.runModalForWindow(*outer->window()), 3);
  EXPECT_EQ(innerResult, 2);
}

TEST(ModalLoop, StopWithoutALoopDoesNothing) {
  auto& app = Application::sharedApplication();
  app.stopModalWithCode(9);  // must not end the next loop
  auto file = platform::loadInterfaceFile("WidgetGallery");
  QTimer::singleShot(20, [&] { app.stopModalWithCode(4); });
  EXPECT_EQ(app.runModalForWindow(*file->window()), 4);
}

struct Recorder : platform::ApplicationDelegate {
  int calls = 0;
  int loopLevel = -1;
  void applicationDidFinishLaunching() override {
    ++calls;
    loopLevel = QThread::currentThread()->loopLevel();
    Application::sharedApplication().terminate(5);
  }
};

TEST(Application, RunSendsTheLaunchEventFromTheLoop) {
  auto& app = Application::sharedApplication();
  Recorder r;
  app.setDelegate(&r);
  EXPECT_EQ(app.run(), 5);
  app.setDelegate(nullptr);
  EXPECT_EQ(r.calls, 1);
  EXPECT_GE(r.loopLevel, 1);
}

// The display decision is made from the environment; each case sets it up
// and restores it.
class EnvironmentScope {
 public:
  EnvironmentScope() {
    for (const char* v : kVars) {
      const char* value = std::getenv(v);
      saved_.emplace_back(v, value ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(v);
    }
  }
  ~EnvironmentScope() {
    for (auto& [name, value] : saved_) value ? setenv(name, value->c_str(), 1) : unsetenv(name);
  }
  static constexpr const char* kVars[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"};

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// A listening socket in the abstract namespace where an X server with
// display number `number` would listen.
struct FakeXServer {
  int fd = -1;
  int number = 0;
  FakeXServer() {
    std::mt19937 rng(std::random_device{}());
    for (int attempt = 0; attempt < 20 && fd < 0; ++attempt) {
      number = 40000 + static_cast<int>(rng() % 20000);
      std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
      sockaddr_un addr{};
      addr.sun_family = AF_UNIX;
      std::memcpy(addr.sun_path + 1, path.data(), path.size());
      int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
      auto len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
      if (::bind(s, reinterpret_cast<sockaddr*>(&addr), len) == 0 && ::listen(s, 4) == 0) {
        fd = s;
      } else {
        ::close(s);
      }
    }
  }
  ~FakeXServer() {
    if (fd >= 0) ::close(fd);
  }
};

TEST(DisplayAvailable, DecidedFromTheEnvironment) {
  EnvironmentScope scope;
  EXPECT_FALSE(platform::displayAvailable()) << "nothing set";

  setenv("DISPLAY", ":59999", 1);  // nobody listens there
  EXPECT_FALSE(platform::displayAvailable()) << "a display that does not answer";
  setenv("DISPLAY", "garbage", 1);
  EXPECT_FALSE(platform::displayAvailable());

  FakeXServer server;
  ASSERT_GE(server.fd, 0);
  setenv("DISPLAY", (":" + std::to_string(server.number) + ".0").c_str(), 1);
  EXPECT_TRUE(platform::displayAvailable()) << "a local X socket that answers";
  setenv("DISPLAY", ("unix:" + std::to_string(server.number)).c_str(), 1);
  EXPECT_TRUE(platform::displayAvailable());

  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  unsetenv("DISPLAY");
  EXPECT_TRUE(platform::displayAvailable()) << "a platform that needs no server";
  setenv("QT_QPA_PLATFORM", "minimal:enable_fonts", 1);
  EXPECT_TRUE(platform::displayAvailable());
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  EXPECT_FALSE(platform::displayAvailable()) << "xcb without DISPLAY";
  setenv("DISPLAY", (":" + std::to_string(server.number)).c_str(), 1);
  EXPECT_TRUE(platform::displayAvailable()) << "xcb with an answering DISPLAY";
  setenv("QT_QPA_PLATFORM", "nosuchplatform", 1);
  EXPECT_FALSE(platform::displayAvailable()) << "an unknown platform would abort";

  unsetenv("QT_QPA_PLATFORM");
  unsetenv("DISPLAY");
  setenv("WAYLAND_DISPLAY", "wayland-59999", 1);
  setenv("XDG_RUNTIME_DIR", "/nonexistent", 1);
  EXPECT_FALSE(platform::displayAvailable()) << "a Wayland socket that does not exist";
}

}  // namespace
