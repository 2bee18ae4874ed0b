#include "platform/application.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QLibraryInfo>
#include <QPointer>
#include <QTimer>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/interface_file.h"
#include "widgets_qt.h"

namespace platform {
namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// Connects a socket to `addr` within a short time; true when a server answers.
bool connects(int fd, const sockaddr* addr, socklen_t len) {
  int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  if (::connect(fd, addr, len) == 0) return true;
  if (errno != EINPROGRESS) return false;
  pollfd p{fd, POLLOUT, 0};
  // A forwarded display over a slow link answers well within this.
  if (::poll(&p, 1, 2000) != 1) return false;
  int err = 0;
  socklen_t errLen = sizeof err;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &errLen) == 0 && err == 0;
}

bool unixSocketAnswers(const std::string& path, bool abstract) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::size_t offset = abstract ? 1 : 0;
  if (path.size() + offset >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path + offset, path.data(), path.size());
  socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() +
                                         (abstract ? 0 : 1));
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // A non-blocking local connect fails with EAGAIN while the server's accept
  // queue is full, which a busy but healthy server shows under load; a
  // blocking connect waits for it, bounded by the send timeout, and a dead
  // server still refuses at once.
  timeval limit{2, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), len) == 0;
  ::close(fd);
  return ok;
}

bool tcpAnswers(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) return false;
  bool ok = false;
  for (addrinfo* a = list; a && !ok; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    ok = connects(fd, a->ai_addr, a->ai_addrlen);
    ::close(fd);
  }
  freeaddrinfo(list);
  return ok;
}

// DISPLAY is [host]:number[.screen]; an empty host or "unix" is the local
// socket /tmp/.X11-unix/X<number> (abstract or in the file system), a host
// name is TCP port 6000 + number (an ssh-forwarded display).
bool x11Answers() {
  const std::string display = env("DISPLAY");
  if (display.empty()) return false;
  auto colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  std::string host = display.substr(0, colon);
  std::string rest = display.substr(colon + 1);
  char* end = nullptr;
  long number = std::strtol(rest.c_str(), &end, 10);
  if (end == rest.c_str() || number < 0) return false;
  if (!host.empty() && host[0] == '/') return unixSocketAnswers(host, false);  // launchd style
  if (host.empty() || host == "unix") {
    std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    return unixSocketAnswers(path, true) || unixSocketAnswers(path, false);
  }
  return tcpAnswers(host, 6000 + static_cast<int>(number));
}

bool waylandPluginInstalled() {
  QDir dir(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
  return !dir.entryList({QStringLiteral("libqwayland*.so")}, QDir::Files).isEmpty();
}

bool waylandAnswers() {
  std::string name = env("WAYLAND_DISPLAY");
  if (name.empty()) return false;
  if (name[0] != '/') {
    std::string runtimeDir = env("XDG_RUNTIME_DIR");
    if (runtimeDir.empty()) return false;
    name = runtimeDir + "/" + name;
  }
  return waylandPluginInstalled() && unixSocketAnswers(name, false);
}

// The toolkit platform to ask for explicitly, or "" for its own choice.
std::string chosenPlatform;

bool decideDisplay() {
  std::string qpa = env("QT_QPA_PLATFORM");
  if (!qpa.empty()) {
    // "name:options" or a ";"-separated list of fallbacks: the first decides.
    std::string name = qpa.substr(0, qpa.find_first_of(":;"));
    for (const char* serverless : {"offscreen", "minimal", "vnc", "linuxfb", "eglfs", "vkkhrdisplay"})
      if (name == serverless) return true;
    if (name == "xcb") return x11Answers();
    if (name.rfind("wayland", 0) == 0) return waylandAnswers();
    return false;  // a platform we cannot vouch for: better the console than an abort
  }
  if (x11Answers()) {
    chosenPlatform = "xcb";
    return true;
  }
  if (waylandAnswers()) {
    chosenPlatform = "wayland";
    return true;
  }
  return false;
}

// argv for the toolkit: the program path only (see applicationMain), plus the
// platform when it had to be chosen here. The strings live for the process.
std::string argv0;
std::string platformOption = "-platform";
std::vector<char*> toolkitArgv;
int toolkitArgc = 0;

std::string programPathFromProc() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string first;
  std::getline(in, first, '\0');
  return first.empty() ? std::string("vantor") : first;
}

void buildToolkitArguments(bool gui) {
  if (argv0.empty()) argv0 = programPathFromProc();
  toolkitArgv = {argv0.data()};
  if (gui && !chosenPlatform.empty()) {
    toolkitArgv.push_back(platformOption.data());
    toolkitArgv.push_back(chosenPlatform.data());
  }
  toolkitArgc = static_cast<int>(toolkitArgv.size());
  toolkitArgv.push_back(nullptr);
}

// Ends a modal loop when its window is hidden or closed by any other way
// than stopModalWithCode, so a dialog dismissed with Escape or by the window
// manager does not leave the program blocked with nothing on screen.
class ModalWatcher : public QObject {
 public:
  ModalWatcher(QWidget* window, QEventLoop* loop) : window_(window), loop_(loop) {
    window->installEventFilter(this);
  }
  ~ModalWatcher() override {
    if (window_) window_->removeEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Hide && loop_->isRunning())
      loop_->exit(kModalResponseAbort);
    return false;
  }

 private:
  QPointer<QWidget> window_;
  QEventLoop* loop_;
};

std::vector<QEventLoop*> modalLoops;

}  // namespace

bool displayAvailable() {
  chosenPlatform.clear();
  return decideDisplay();
}

Application::Application() {
  if (QCoreApplication* existing = QCoreApplication::instance()) {
    // A host program (or a test) made its own; use what it chose.
    hasDisplay_ = qobject_cast<QApplication*>(existing) != nullptr;
    return;
  }
  hasDisplay_ = displayAvailable();
  buildToolkitArguments(hasDisplay_);
  if (hasDisplay_) {
    static qt::Immortal<QApplication> gui(toolkitArgc, toolkitArgv.data());
  } else {
    static qt::Immortal<QCoreApplication> console(toolkitArgc, toolkitArgv.data());
  }
}

Application& Application::sharedApplication() {
  // Placement into static storage: the object is never destroyed.
  alignas(Application) static unsigned char storage[sizeof(Application)];
  static Application* app = ::new (static_cast<void*>(storage)) Application();
  return *app;
}

int Application::run() {
  QTimer::singleShot(0, QCoreApplication::instance(), [this] {
    if (delegate_) delegate_->applicationDidFinishLaunching();
  });
  return QCoreApplication::exec();
}

void Application::terminate(int code) { QCoreApplication::exit(code); }

int Application::runModalForWindow(Window& window) {
  auto* qtWindow = dynamic_cast<qt::QtWindow*>(&window);
  if (!hasDisplay_ || !qtWindow || !qtWindow->widget()) return kModalResponseAbort;
  QWidget* widget = qtWindow->widget();

  QEventLoop loop;
  ModalWatcher watcher(widget, &loop);
  if (!widget->isVisible()) widget->setWindowModality(Qt::ApplicationModal);
  widget->show();
  widget->raise();
  widget->activateWindow();

  modalLoops.push_back(&loop);
  ++modalDepth_;
  int code = loop.exec(QEventLoop::DialogExec);
  --modalDepth_;
  modalLoops.pop_back();
  return code;
}

void Application::stopModalWithCode(int code) {
  if (!modalLoops.empty()) modalLoops.back()->exit(code);
}

int applicationMain(int argc, char** argv, const std::string& mainInterfaceName) {
  if (argc > 0 && argv && argv[0]) argv0 = argv[0];
  Application& app = Application::sharedApplication();
  std::unique_ptr<InterfaceFile> mainInterface = loadInterfaceFile(mainInterfaceName);
  if (!mainInterface) {
    std::fprintf(stderr, "%s: no interface file named \"%s\"\n", argv0.c_str(),
                 mainInterfaceName.c_str());
    return 1;
  }
  if (mainInterface->applicationDelegate()) app.setDelegate(mainInterface->applicationDelegate());
  // The main interface owns the delegate and lives as long as the process:
  // it is handed to immortal storage rather than destroyed on return.
  static qt::Immortal<std::vector<std::unique_ptr<InterfaceFile>>> keep;
  keep.get().push_back(std::move(mainInterface));
  return app.run();
}

}  // namespace platform
