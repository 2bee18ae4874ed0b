// The application object: the event loop, the application delegate and modal
// loops.
//
// There is one application object per process. It is a GUI application when a
// display can be used and a console application otherwise, so a program
// started over ssh, from a service or in a test without an X server keeps
// working (its alerts and dialogs fall back to standard error) instead of
// aborting for want of a display.
//
// Main thread only.
#pragma once

#include <string>

namespace platform {

class Window;

// Receives the launch event. Owned by whoever creates it (normally the main
// interface file); the application only keeps a not-owned link.
class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  // Called once, from the event loop, after the loop has started.
  virtual void applicationDidFinishLaunching() = 0;
};

// The response of a modal loop that ended because its window was closed
// (window-manager close button or Escape) rather than through
// stopModalWithCode.
inline constexpr int kModalResponseAbort = -1001;

class Application {
 public:
  // The application object, created on first use from the process's
  // arguments. Never null. The object is never destroyed: it outlives every
  // window and ends with the process, as the platform's own application
  // object does (destroying a GUI application from exit handlers races with
  // the toolkit's own teardown).
  static Application& sharedApplication();

  // Whether windows can be shown: true when the process has a usable display
  // (see displayAvailable()) at the time the application object was created.
  bool hasDisplay() const { return hasDisplay_; }

  // Not owned; may be null. Its applicationDidFinishLaunching is sent by run().
  void setDelegate(ApplicationDelegate* delegate) { delegate_ = delegate; }
  ApplicationDelegate* delegate() const { return delegate_; }

  // Runs the event loop until terminate() or until the process exits. Sends
  // applicationDidFinishLaunching to the delegate from the loop first.
  // Returns the code given to terminate().
  int run();

  // Ends the loop of run() with `code` (after the current callback returns).
  void terminate(int code);

  // Shows `window` as an application-modal window and blocks in a nested
  // event loop until stopModalWithCode is called (returns its code) or the
  // window is closed (returns kModalResponseAbort). `window` must come from an
  // interface file of this layer. Without a display, returns
  // kModalResponseAbort at once. Modal loops nest.
  int runModalForWindow(Window& window);

  // Ends the innermost modal loop with `code` once the current callback has
  // returned. Does nothing when no modal loop runs.
  void stopModalWithCode(int code);

  // True while at least one runModalForWindow is in progress.
  bool isRunningModal() const { return modalDepth_ > 0; }

  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

 private:
  Application();
  ~Application() = delete;  // never destroyed (see sharedApplication)

  bool hasDisplay_ = false;
  ApplicationDelegate* delegate_ = nullptr;
  int modalDepth_ = 0;
};

// Decides, from the environment, whether a GUI application can be created:
//   - QT_QPA_PLATFORM, when set, chooses the window system; the platforms that
//     need no server (offscreen, minimal, vnc, linuxfb, eglfs) count as a
//     display, xcb needs DISPLAY and wayland needs WAYLAND_DISPLAY as below;
//   - else DISPLAY set and its X server accepting connections, or
//     WAYLAND_DISPLAY set and its socket accepting connections.
// A display variable naming a server that does not answer counts as no
// display, because the toolkit would abort the process on it.
bool displayAvailable();

// The program entry of an application bundle: creates the application object,
// loads the interface file `mainInterfaceName` (which creates the delegate and
// names it through InterfaceFile::setApplicationDelegate), makes that the
// application's delegate and runs the event loop. The loaded interface lives
// until the process ends. Returns the loop's result; returns 1 after a message
// on standard error when no interface file of that name is registered.
// Only argv[0] reaches the toolkit: the command line belongs to the program,
// and the toolkit would otherwise act on (and remove) options such as
// -display or -style.
int applicationMain(int argc, char** argv, const std::string& mainInterfaceName);

}  // namespace platform
