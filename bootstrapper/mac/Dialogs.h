// The two ways the bootstrapper tells the user about a failure, both modal
// with one OK button. Bootstrapper::showDialog and Bootstrapper::okAlert call
// these with their appName.
#pragma once

#include <string>

namespace dialogs {

// The steps of showDialog: a new ErrorDialogController for the interface file
// "ErrorDialog", its window loaded, filled with `message`, message 2 ("OK")
// and `appName`, run modally until OK is pressed. The controller and its
// window are kept until the process ends (every caller exits right after).
// Without a display, the console stand-in: `appName`, the message with each
// link written as "text <address>", and "[OK]" on standard error.
void showDialog(const std::string& message, const std::string& appName);

// The steps of okAlert: the standard alert with `appName` as its headline,
// `message` as its informative text (unchanged, markup included) and one
// button titled with message 2. Returns when the button is pressed. Without
// a display, the alert's console stand-in.
void okAlert(const std::string& message, const std::string& appName);

// The message as the console stand-in of the dialog writes it: the runs'
// texts in order, each link followed by " <address>" (so the address is not
// lost where it cannot be clicked).
std::string consoleTextOfDialogMessage(const std::string& message);

}  // namespace dialogs
