// The Downloader's progress window: the interface file "ProgressWindow"
// (ProgressWindow.ui, part of the main interface) with the "please wait"
// text, a determinate bar 0..100 and the Cancel button, wired to a
// Downloader:
//   - the Downloader's progressWindow outlet is this controller, which shows
//     the window (not shown at start) with the current texts: the title from
//     the title source (the Bootstrapper's localizedWindowTitle), the text
//     localizedPleaseWait, the button title localizedCancel, all read when
//     the window comes to the front, since they are set after the interface
//     was loaded;
//   - progressBar is bound to the observable "currentProgressPercent";
//   - cancelButton's action is stopDownLoad.
// Without a display there are no widgets: when standard error is a terminal
// the controller draws a one-line progress there instead ("please wait" text
// and the percentage), otherwise nothing is shown.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/interface_file.h"
#include "platform/key_value.h"
#include "platform/widgets.h"

class Downloader;

inline constexpr char kProgressWindowInterfaceName[] = "ProgressWindow";

class ProgressWindowController : public platform::Window {
 public:
  // Loads "ProgressWindow" and connects it to `downloader` (not owned; it
  // must outlive the controller: adopt the Downloader into the main interface
  // before the controller). `windowTitle` gives the title when the window is
  // shown (may be empty: no title).
  static std::unique_ptr<ProgressWindowController> connect(Downloader& downloader,
                                                           std::function<std::string()> windowTitle);
  // The same over an interface file the caller loaded (tests).
  ProgressWindowController(Downloader& downloader, std::unique_ptr<platform::InterfaceFile> file,
                           std::function<std::string()> windowTitle, bool consoleLine);
  ~ProgressWindowController() override;

  // Window: what the Downloader's progressWindow outlet calls.
  void setTitle(const std::string& title) override;
  std::string title() const override;
  void makeKeyAndOrderFront() override;
  void close() override;
  bool isVisible() const override;

  // The loaded file (outlets by name), for tests and screenshots.
  platform::InterfaceFile& interfaceFile() { return *file_; }

 private:
  void drawConsoleLine(double percent);

  Downloader& downloader_;
  std::unique_ptr<platform::InterfaceFile> file_;
  std::function<std::string()> windowTitle_;
  platform::Window* window_ = nullptr;
  platform::TextField* text_ = nullptr;
  platform::ProgressIndicator* bar_ = nullptr;
  platform::Button* button_ = nullptr;
  platform::KeyValueObservable::ObserverToken barToken_ = 0;
  platform::KeyValueObservable::ObserverToken consoleToken_ = 0;
  bool consoleLine_ = false;
  bool consoleVisible_ = false;
  int lastConsolePercent_ = -1;
};
