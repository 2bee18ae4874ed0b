// The standard modal alert: a headline, an informative text and buttons.
// With a display it is a Qt message box run modally; without one (no DISPLAY
// or WAYLAND_DISPLAY) the console stand-in writes it to standard error and
// answers as if the first button had been pressed.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct AlertContent {
  std::string messageText;      // the headline (UTF-8)
  std::string informativeText;  // shown unchanged, markup included
  std::vector<std::string> buttons;  // captions, first is the default
};

// Shows the alert and blocks in a modal loop until a button is pressed.
// Returns 1000 + the index of the pressed button (1000 for the first).
// Creates the application object first when none exists.
int runAlert(const AlertContent& alert);

}  // namespace platform
