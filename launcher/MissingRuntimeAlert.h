// The launcher's only user interface: the alert shown when the runtime cannot
// be found or loaded, in the user's language.
#pragma once

// The file name of the launcher's GUI part, a shared library that sits beside
// the launcher (in the app bundle's Contents/MacOS). It carries the alert and
// everything the window system needs, so that the launcher itself links none
// of it and starts as fast as a bare program. Its one function:
//   extern "C" int vantorLauncherRunAlert(const char* messageText,
//                                         const char* informativeText,
//                                         const char* buttonTitle);
// shows a modal alert with one button (UTF-8 texts) and returns 0 once the
// user has closed it, or -1 when it could not show one.
inline constexpr const char* kLauncherAlertLibrary = "libvantor-launcher-alert.so";
inline constexpr const char* kLauncherAlertFunction = "vantorLauncherRunAlert";

// Chooses the language from the user's preferred languages over the
// launcher's own message table, shows the alert titled "Brenmoor Vantor" with
// the missing-runtime text and one OK button, waits until it is closed, and
// returns 4. When the GUI part cannot be loaded the same alert is written to
// standard error in the console stand-in's form. Never fails.
int ShowMissingRuntimeAlert();
