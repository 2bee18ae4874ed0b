#include <unistd.h>

#include <cerrno>

#include "platform/alert.h"

namespace platform {

std::string consoleAlertText(const std::string& title, const std::string& text,
                             const std::vector<std::string>& buttons) {
  std::string out = title + "\n";
  if (!text.empty()) {
    out += text;
    if (text.back() != '\n') out += '\n';
  }
  if (buttons.empty()) {
    out += "[OK]";
  } else {
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      if (i) out += ' ';
      out += "[" + buttons[i] + "]";
    }
  }
  out += '\n';
  return out;
}

void writeConsoleAlert(const std::string& title, const std::string& text,
                       const std::vector<std::string>& buttons) {
  const std::string out = consoleAlertText(title, text, buttons);
  const char* p = out.data();
  std::size_t left = out.size();
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to tell the user; the caller goes on as if OK was pressed
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

}  // namespace platform
