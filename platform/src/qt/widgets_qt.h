// The layer's windows and controls over Qt widgets, and the loader that turns
// a uic-generated form into an InterfaceFile. Private to the platform layer:
// this header is the only place where Qt types meet the layer's own.
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QTextEdit>
#include <QWidget>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/application.h"
#include "platform/interface_file.h"
#include "platform/widgets.h"

namespace platform::qt {

inline QString toQString(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string toStdString(const QString& s) { return s.toUtf8().toStdString(); }

// An object that is constructed in place and never destroyed: the
// application object and the toolkit's application instance must outlive
// every window, including windows still referenced while exit handlers run.
template <typename T>
class Immortal {
 public:
  template <typename... Args>
  explicit Immortal(Args&&... args) {
    ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
  }
  T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

class QtWindow final : public Window {
 public:
  explicit QtWindow(QWidget* widget) : widget_(widget) {}
  void setTitle(const std::string& title) override;
  std::string title() const override;
  void makeKeyAndOrderFront() override;
  void close() override;
  bool isVisible() const override;
  QWidget* widget() const { return widget_; }

 private:
  QPointer<QWidget> widget_;
};

class QtButton final : public Button {
 public:
  explicit QtButton(QAbstractButton* button);
  void setTitle(const std::string& title) override;
  std::string title() const override;
  void setEnabled(bool enabled) override;
  bool isEnabled() const override;
  void setAction(std::function<void()> action) override;
  QAbstractButton* widget() const { return button_; }

 private:
  QPointer<QAbstractButton> button_;
  // Shared with the signal connection so replacing the action needs no
  // reconnection and a destroyed wrapper leaves nothing dangling.
  std::shared_ptr<std::function<void()>> action_;
};

class QtTextField final : public TextField {
 public:
  explicit QtTextField(QLineEdit* edit) : edit_(edit) {}
  explicit QtTextField(QLabel* label);
  void setStringValue(const std::string& text) override;
  std::string stringValue() const override;

 private:
  QPointer<QLineEdit> edit_;
  QPointer<QLabel> label_;
};

class QtTextView final : public TextView {
 public:
  explicit QtTextView(QTextEdit* edit);
  void setAttributedText(const AttributedText& text) override;
  AttributedText attributedText() const override;
  QTextEdit* widget() const { return edit_; }

 private:
  void fitContentHeight();
  QPointer<QTextEdit> edit_;
};

class QtProgressIndicator final : public ProgressIndicator {
 public:
  explicit QtProgressIndicator(QProgressBar* bar);
  void setRange(double min, double max) override;
  void setDoubleValue(double value) override;
  double doubleValue() const override { return value_; }

 private:
  void show();
  QPointer<QProgressBar> bar_;
  double min_ = 0, max_ = 100, value_ = 0;
};

// Fills `file` from the widget tree rooted at `top`: takes ownership of the
// tree, exposes `top` as the file's window and every named child by kind (see
// interface_file.h).
void exposeWidgets(InterfaceFile& file, std::unique_ptr<QWidget> top);

// The QWidget subclass a uic form class is set up on (the parameter of its
// setupUi).
template <typename Ui, typename W>
W* setupUiParameter(void (Ui::*)(W*));

// The loader of one uic-generated form class: without a display an empty
// file; with one, the form's widgets.
template <typename Ui>
std::unique_ptr<InterfaceFile> loadUiForm() {
  auto file = std::make_unique<InterfaceFile>();
  if (!Application::sharedApplication().hasDisplay()) return file;
  using Top = std::remove_pointer_t<decltype(setupUiParameter(&Ui::setupUi))>;
  auto top = std::make_unique<Top>();
  Ui form;
  form.setupUi(top.get());
  exposeWidgets(*file, std::move(top));
  return file;
}

}  // namespace platform::qt
