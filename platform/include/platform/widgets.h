// Windows and controls as the system's code sees them. The Qt widgets behind
// them stay inside the platform layer; the system's code holds these as
// not-owned outlets (plain pointers) filled from an interface file. Unit tests
// may implement them with small recording fakes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class Window {
 public:
  virtual ~Window() = default;
  virtual void setTitle(const std::string& title) = 0;
  virtual std::string title() const = 0;
  // Shows the window in front of the others and gives it the keyboard.
  virtual void makeKeyAndOrderFront() = 0;
  // Hides the window (it can be shown again).
  virtual void close() = 0;
  virtual bool isVisible() const = 0;
};

class Button {
 public:
  virtual ~Button() = default;
  virtual void setTitle(const std::string& title) = 0;
  virtual std::string title() const = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool isEnabled() const = 0;
  // The action sent when the user presses the button (replaces the previous).
  virtual void setAction(std::function<void()> action) = 0;
};

class TextField {
 public:
  virtual ~TextField() = default;
  virtual void setStringValue(const std::string& text) = 0;
  virtual std::string stringValue() const = 0;
};

class ProgressIndicator {
 public:
  virtual ~ProgressIndicator() = default;
  // Determinate indicator over [min, max]; values outside are shown clamped.
  virtual void setRange(double min, double max) = 0;
  virtual void setDoubleValue(double value) = 0;
  virtual double doubleValue() const = 0;
};

// One span of text: plain, or a link to `link` (shown blue and underlined).
struct TextRun {
  std::string text;                 // UTF-8
  std::optional<std::string> link;  // the address of a link run
  bool operator==(const TextRun&) const = default;
};
using AttributedText = std::vector<TextRun>;

class TextView {
 public:
  virtual ~TextView() = default;
  // Replaces the whole content.
  virtual void setAttributedText(const AttributedText& text) = 0;
  // The content as the view holds it: maximal runs of equal attributes.
  virtual AttributedText attributedText() const = 0;
};

}  // namespace platform
