// The error dialog: a window with a text view that shows a message with its
// links, and one OK button. Used for the messages that carry a link (and for
// the disabled-update message); plain messages use the standard alert.
#pragma once

#include <memory>
#include <string>

#include "platform/interface_file.h"
#include "platform/widgets.h"

// Splits a message into the runs the dialog shows. A link is written exactly
// "<a href='" address "'>" link text "</a>"; the markers are matched byte for
// byte and case-sensitively on the UTF-8 text, and nothing else is markup.
// Every link becomes a link run (its text may be empty), the text around it
// plain runs (a plain run is left out only when nothing follows the last
// link). An opening marker without "'>" and "</a>" after it is not an error:
// from there on the rest of the message, markers included, is one plain run.
// An empty message gives no runs.
platform::AttributedText splitMessageIntoRuns(const std::string& message);

class ErrorDialogController {
 public:
  // Remembers the interface file name; nothing is loaded until window().
  explicit ErrorDialogController(std::string windowNibName);
  ~ErrorDialogController();

  // The dialog's window, loading the interface file on the first call and
  // connecting the outlets below and the OK button's action. Null without a
  // display (the interface file then has no widgets) or when no interface
  // file of that name exists. Owned by the controller.
  platform::Window* window();

  // The OK button's action: stops the application's modal loop with code 1.
  // The argument stands for the sender, which is not read.
  void OK(const void* sender = nullptr);

  // Fills the dialog: the button's title, the window's title and the text
  // (split into runs with splitMessageIntoRuns, replacing all content).
  // Loads the window first if needed. Without widgets it does nothing.
  void setMessage(const std::string& message, const std::string& localizedOKText,
                  const std::string& appName);

  // Outlets, set from the interface file by window(); not owned (they belong
  // to the interface file held below). Null until then and without a display.
  platform::TextView* textView = nullptr;
  platform::Button* okButton = nullptr;

 private:
  std::string windowNibName_;
  bool loaded_ = false;
  std::unique_ptr<platform::InterfaceFile> interface_;
  platform::Window* window_ = nullptr;
};
