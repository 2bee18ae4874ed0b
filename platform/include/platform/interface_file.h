// Interface files: the windows of a program, drawn in Qt Designer (.ui files,
// compiled in by uic) and looked up by name at run time, the way a program
// loads its nib files.
//
// A registry maps a name ("MainMenu", "ErrorDialog", ...) to a loader. Loading
// builds a fresh InterfaceFile: the widgets of the .ui, each exposed by its
// Qt Designer object name as a Window, Button, TextField, TextView or
// ProgressIndicator of platform/widgets.h, plus whatever objects a hand-written
// loader creates (controllers, the application delegate), which the
// InterfaceFile owns.
//
// Which widget class becomes which kind of outlet:
//   the top-level widget (QDialog, QMainWindow, QWidget)      Window
//   QPushButton, QToolButton, QCheckBox, QRadioButton         Button
//   QLineEdit, QLabel                                         TextField
//   QTextBrowser, QTextEdit                                   TextView
//   QProgressBar                                              ProgressIndicator
// Other widgets (layouts, spacers, group boxes) get no outlet.
//
// Without a display (Application::hasDisplay() false) an interface file
// builds no widgets: every outlet lookup returns null, and the objects a
// hand-written loader creates still exist. Nothing aborts.
//
// Adding a .ui file: in the folder's CMake fragment,
//   vantor_add_interface_files(<object-library> path/Name.ui ...)
// compiles it with uic and registers it under its file name without ".ui"
// (Name); link <object-library> directly into each program or test that
// loads it. It is an OBJECT library on purpose: the registration runs from a
// static initialiser, and a linker drops unreferenced members of a static
// archive. A hand-written loader registered from a static initialiser has the
// same need (or call registerInterfaceFile from main instead).
//
// Main thread only.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/widgets.h"

namespace platform {

class ApplicationDelegate;

class InterfaceFile {
 public:
  InterfaceFile() = default;
  virtual ~InterfaceFile();
  InterfaceFile(const InterfaceFile&) = delete;
  InterfaceFile& operator=(const InterfaceFile&) = delete;

  // The name the file was loaded under ("" for one built by hand).
  const std::string& name() const { return name_; }

  // The top-level window of the .ui ("the window outlet"); null without a
  // display or when the file has no window of its own.
  Window* window() const { return topWindow_; }

  // Outlets by object name. Null when there is no object of that name and
  // kind, and always without a display. The pointers stay valid as long as
  // this InterfaceFile lives; they are not owned by the caller.
  Window* windowNamed(const std::string& objectName) const;
  Button* button(const std::string& objectName) const;
  TextField* textField(const std::string& objectName) const;
  TextView* textView(const std::string& objectName) const;
  ProgressIndicator* progressIndicator(const std::string& objectName) const;

  // The object names of every outlet the file exposes, sorted (for tools and
  // for tests that check a .ui against its controller).
  std::vector<std::string> outletNames() const;

  // The application delegate the file creates (main interface files only);
  // not owned by the InterfaceFile unless also adopted. Null by default.
  ApplicationDelegate* applicationDelegate() const { return delegate_; }
  void setApplicationDelegate(ApplicationDelegate* delegate) { delegate_ = delegate; }

  // Takes ownership of `object` for the lifetime of this file and returns it
  // (a not-owned pointer for wiring). Objects are destroyed in the reverse
  // order of adoption, before the widgets of the file.
  template <typename T>
  T* adopt(std::unique_ptr<T> object) {
    T* raw = object.get();
    owned_.push_back(std::make_unique<Holder<T>>(std::move(object)));
    return raw;
  }

  // Puts every outlet of `other` into this file under the same object names
  // (an outlet already present here keeps its own) and takes ownership of
  // `other`. How a main interface made of several .ui files exposes them as
  // one. Returns the adopted file.
  InterfaceFile* merge(std::unique_ptr<InterfaceFile> other);

  // For loaders of this layer: record an outlet (not owned here; owned
  // through adopt or by the widget tree) and the top-level window.
  void addOutlet(const std::string& objectName, Window* w);
  void addOutlet(const std::string& objectName, Button* b);
  void addOutlet(const std::string& objectName, TextField* f);
  void addOutlet(const std::string& objectName, TextView* v);
  void addOutlet(const std::string& objectName, ProgressIndicator* p);
  void setWindow(Window* w) { topWindow_ = w; }
  void setName(std::string name) { name_ = std::move(name); }

 private:
  struct HolderBase {
    virtual ~HolderBase() = default;
  };
  template <typename T>
  struct Holder : HolderBase {
    explicit Holder(std::unique_ptr<T> p) : object(std::move(p)) {}
    std::unique_ptr<T> object;
  };

  std::string name_;
  Window* topWindow_ = nullptr;
  ApplicationDelegate* delegate_ = nullptr;
  std::map<std::string, Window*> windows_;
  std::map<std::string, Button*> buttons_;
  std::map<std::string, TextField*> textFields_;
  std::map<std::string, TextView*> textViews_;
  std::map<std::string, ProgressIndicator*> progressIndicators_;
  std::vector<std::unique_ptr<HolderBase>> owned_;
};

// Builds one InterfaceFile. Runs on the main thread with the application
// object already created; must not return null.
using InterfaceLoader = std::function<std::unique_ptr<InterfaceFile>()>;

// Registers `loader` under `name`, replacing an earlier registration of the
// same name. Returns true (so it can initialise a static flag).
bool registerInterfaceFile(const std::string& name, InterfaceLoader loader);

// Whether a loader is registered under `name`.
bool hasInterfaceFile(const std::string& name);

// Creates the application object if needed, then runs the loader registered
// under `name` and returns a new InterfaceFile (owned by the caller) whose
// name() is `name`. Returns null only when no loader has that name.
std::unique_ptr<InterfaceFile> loadInterfaceFile(const std::string& name);

}  // namespace platform
