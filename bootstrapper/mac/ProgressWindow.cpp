#include "ProgressWindow.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "Downloader.h"
#include "platform/application.h"

std::unique_ptr<ProgressWindowController> ProgressWindowController::connect(
    Downloader& downloader, std::function<std::string()> windowTitle) {
  auto file = platform::loadInterfaceFile(kProgressWindowInterfaceName);
  if (!file) file = std::make_unique<platform::InterfaceFile>();
  const bool console = !platform::Application::sharedApplication().hasDisplay() && ::isatty(2) == 1;
  return std::make_unique<ProgressWindowController>(downloader, std::move(file), std::move(windowTitle),
                                                    console);
}

ProgressWindowController::ProgressWindowController(Downloader& downloader,
                                                   std::unique_ptr<platform::InterfaceFile> file,
                                                   std::function<std::string()> windowTitle,
                                                   bool consoleLine)
    : downloader_(downloader),
      file_(std::move(file)),
      windowTitle_(std::move(windowTitle)),
      consoleLine_(consoleLine) {
  window_ = file_->window();
  text_ = file_->textField("pleaseWaitText");
  bar_ = file_->progressIndicator("progressBar");
  button_ = file_->button("cancelButton");

  downloader_.setProgressWindow(this);
  downloader_.setProgressBar(bar_);
  downloader_.setCancelButton(button_);
  if (bar_) {
    bar_->setRange(0.0, 100.0);
    // The binding: the bar follows the observable value, the Downloader
    // never talks to the bar itself.
    barToken_ = downloader_.addObserver(
        "currentProgressPercent",
        [bar = bar_](const std::string&, const platform::Value& v) { bar->setDoubleValue(platform::doubleFromValue(v)); },
        true);
  }
  if (button_) {
    button_->setEnabled(false);
    button_->setAction([this] { downloader_.stopDownLoad(this); });
  }
  if (consoleLine_ && !window_) {
    consoleToken_ = downloader_.addObserver(
        "currentProgressPercent",
        [this](const std::string&, const platform::Value& v) { drawConsoleLine(platform::doubleFromValue(v)); });
  }
}

ProgressWindowController::~ProgressWindowController() {
  if (barToken_) downloader_.removeObserver(barToken_);
  if (consoleToken_) downloader_.removeObserver(consoleToken_);
  if (button_) button_->setAction(nullptr);
  if (downloader_.progressWindow() == this) downloader_.setProgressWindow(nullptr);
  if (downloader_.progressBar() == bar_) downloader_.setProgressBar(nullptr);
  if (downloader_.cancelButton() == button_) downloader_.setCancelButton(nullptr);
}

void ProgressWindowController::setTitle(const std::string& title) {
  if (window_) window_->setTitle(title);
}

std::string ProgressWindowController::title() const { return window_ ? window_->title() : std::string(); }

void ProgressWindowController::makeKeyAndOrderFront() {
  if (window_) {
    if (windowTitle_) window_->setTitle(windowTitle_());
    if (text_) text_->setStringValue(downloader_.localizedPleaseWait());
    if (button_) button_->setTitle(downloader_.localizedCancel());
    window_->makeKeyAndOrderFront();
    return;
  }
  if (consoleLine_) {
    consoleVisible_ = true;
    lastConsolePercent_ = -1;
    drawConsoleLine(downloader_.currentProgressPercent());
  }
}

void ProgressWindowController::close() {
  if (window_) {
    window_->close();
    return;
  }
  if (consoleLine_ && consoleVisible_) {
    consoleVisible_ = false;
    std::fputc('\n', stderr);
    std::fflush(stderr);
  }
}

bool ProgressWindowController::isVisible() const { return window_ ? window_->isVisible() : consoleVisible_; }

void ProgressWindowController::drawConsoleLine(double percent) {
  if (!consoleVisible_) return;
  const int shown = static_cast<int>(std::lround(std::fmin(std::fmax(percent, 0.0), 100.0)));
  if (shown == lastConsolePercent_) return;
  lastConsolePercent_ = shown;
  // One line, redrawn in place.
  std::fprintf(stderr, "\r%s %3d%%", downloader_.localizedPleaseWait().c_str(), shown);
  std::fflush(stderr);
}
