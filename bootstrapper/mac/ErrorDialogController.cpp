#include "ErrorDialogController.h"

#include "platform/application.h"

namespace {

constexpr std::string_view kOpen = "<a href='";
constexpr std::string_view kAddressEnd = "'>";
constexpr std::string_view kClose = "</a>";

}  // namespace

platform::AttributedText splitMessageIntoRuns(const std::string& message) {
  platform::AttributedText runs;
  const std::size_t n = message.size();
  if (n == 0) return runs;
  std::size_t cursor = 0;
  for (;;) {
    const std::size_t p = message.find(kOpen, cursor);
    const std::size_t q = p == std::string::npos ? p : message.find(kAddressEnd, p + kOpen.size());
    const std::size_t r = q == std::string::npos ? q : message.find(kClose, q + kAddressEnd.size());
    if (r == std::string::npos) {
      // No (complete) link from here on: the rest, markers included, is plain.
      runs.push_back({message.substr(cursor), std::nullopt});
      return runs;
    }
    runs.push_back({message.substr(cursor, p - cursor), std::nullopt});
    const std::size_t textStart = q + kAddressEnd.size();
    runs.push_back({message.substr(textStart, r - textStart),
                    message.substr(p + kOpen.size(), q - (p + kOpen.size()))});
    cursor = r + kClose.size();
    if (cursor == n) return runs;
  }
}

ErrorDialogController::ErrorDialogController(std::string windowNibName)
    : windowNibName_(std::move(windowNibName)) {}

ErrorDialogController::~ErrorDialogController() = default;

platform::Window* ErrorDialogController::window() {
  if (!loaded_) {
    loaded_ = true;
    interface_ = platform::loadInterfaceFile(windowNibName_);
    if (interface_) {
      window_ = interface_->window();
      textView = interface_->textView("textView");
      okButton = interface_->button("okButton");
      if (okButton) okButton->setAction([this] { OK(okButton); });
    }
  }
  return window_;
}

void ErrorDialogController::OK(const void*) { platform::Application::sharedApplication().stopModalWithCode(1); }

void ErrorDialogController::setMessage(const std::string& message, const std::string& localizedOKText,
                                       const std::string& appName) {
  platform::Window* w = window();
  if (okButton) okButton->setTitle(localizedOKText);
  if (w) w->setTitle(appName);
  // The view replaces its whole content in one edit (one undo step, one
  // layout pass), as the text storage does between beginEditing/endEditing.
  if (textView) textView->setAttributedText(splitMessageIntoRuns(message));
}
