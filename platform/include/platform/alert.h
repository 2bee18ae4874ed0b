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
// Creates the application object first when none exists. With no buttons
// given, the alert has one button "OK", as the platform's alert does. Closing
// the alert without a button (Escape, window manager) counts as the first
// button. Callable from a shared library that carries this layer statically
// (the launcher's alert part): it needs no state of the calling program.
int runAlert(const AlertContent& alert);

// The console stand-in used when there is no display: writes the alert to
// standard error and nothing to standard output, in this form
//     <title>
//     <text>
//     [<button 1>] [<button 2>] ...
// each part ending with one line feed (a text that already ends with one gets
// no second one; an empty text writes no line). No buttons write "[OK]".
// Written with one write call so concurrent output does not interleave.
// Needs no application object and no Qt (platform_core), so a program that
// cannot load its GUI part can still call it.
void writeConsoleAlert(const std::string& title, const std::string& text,
                       const std::vector<std::string>& buttons);

// The text writeConsoleAlert writes, for callers that want it elsewhere.
std::string consoleAlertText(const std::string& title, const std::string& text,
                             const std::vector<std::string>& buttons);

}  // namespace platform
