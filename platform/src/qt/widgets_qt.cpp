#include "widgets_qt.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>
#include <cmath>
#include <memory>

namespace platform::qt {

// ---- Window

void QtWindow::setTitle(const std::string& title) {
  if (widget_) widget_->setWindowTitle(toQString(title));
}

std::string QtWindow::title() const { return widget_ ? toStdString(widget_->windowTitle()) : std::string(); }

void QtWindow::makeKeyAndOrderFront() {
  if (!widget_) return;
  widget_->show();
  widget_->raise();
  widget_->activateWindow();
}

// Hides rather than closes: the window can be shown again, as on the Mac, and
// a close would delete a window that has WA_DeleteOnClose.
void QtWindow::close() {
  if (widget_) widget_->hide();
}

bool QtWindow::isVisible() const { return widget_ && widget_->isVisible(); }

// ---- Button

QtButton::QtButton(QAbstractButton* button)
    : button_(button), action_(std::make_shared<std::function<void()>>()) {
  std::weak_ptr<std::function<void()>> weak = action_;
  QObject::connect(button, &QAbstractButton::clicked, button, [weak] {
    if (auto action = weak.lock(); action && *action) {
      // Copy first: the action may replace itself.
      auto run = *action;
      run();
    }
  });
}

void QtButton::setTitle(const std::string& title) {
  if (button_) button_->setText(toQString(title));
}

std::string QtButton::title() const { return button_ ? toStdString(button_->text()) : std::string(); }

void QtButton::setEnabled(bool enabled) {
  if (button_) button_->setEnabled(enabled);
}

bool QtButton::isEnabled() const { return button_ && button_->isEnabled(); }

void QtButton::setAction(std::function<void()> action) { *action_ = std::move(action); }

// ---- TextField

QtTextField::QtTextField(QLabel* label) : label_(label) {
  // A text field shows its string as given; markup in it is not rendered.
  label->setTextFormat(Qt::PlainText);
}

void QtTextField::setStringValue(const std::string& text) {
  if (edit_) edit_->setText(toQString(text));
  if (label_) label_->setText(toQString(text));
}

std::string QtTextField::stringValue() const {
  if (edit_) return toStdString(edit_->text());
  if (label_) return toStdString(label_->text());
  return {};
}

// ---- TextView

QtTextView::QtTextView(QTextEdit* edit) : edit_(edit) {
  // Links open with the desktop's handler for their address (QDesktopServices
  // behind QTextBrowser), which is what a user expects of a link in a dialog.
  if (auto* browser = qobject_cast<QTextBrowser*>(edit)) browser->setOpenExternalLinks(true);
}

void QtTextView::setAttributedText(const AttributedText& text) {
  if (!edit_) return;
  QTextDocument* doc = edit_->document();
  doc->clear();
  QTextCursor cursor(doc);
  cursor.beginEditBlock();
  const QColor linkColor = QGuiApplication::palette().color(QPalette::Link);
  for (const auto& run : text) {
    QTextCharFormat format;
    if (run.link) {
      format.setAnchor(true);
      format.setAnchorHref(toQString(*run.link));
      format.setForeground(linkColor);
      format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    }
    cursor.insertText(toQString(run.text), format);
  }
  cursor.endEditBlock();
  edit_->moveCursor(QTextCursor::Start);
  if (edit_->property("fitsContentHeight").toBool()) fitContentHeight();
}

// A view marked with the dynamic property fitsContentHeight (set in Qt
// Designer) grows to show its whole text without scrolling, up to a limit, so
// a dialog is as tall as its message needs in every language.
void QtTextView::fitContentHeight() {
  constexpr int kMaxHeight = 480;
  const int frame = 2 * edit_->frameWidth();
  const int width = edit_->isVisible() ? edit_->viewport()->width() : std::max(edit_->width(), edit_->minimumWidth()) - frame;
  if (width <= 0) return;
  std::unique_ptr<QTextDocument> probe(edit_->document()->clone());
  probe->setTextWidth(width);
  const int height = static_cast<int>(std::ceil(probe->size().height())) + frame;
  edit_->setMinimumHeight(std::min(height, kMaxHeight));
}

AttributedText QtTextView::attributedText() const {
  AttributedText runs;
  if (!edit_) return runs;
  auto append = [&runs](const std::string& text, std::optional<std::string> link) {
    if (text.empty()) return;
    if (!runs.empty() && runs.back().link == link) {
      runs.back().text += text;
    } else {
      runs.push_back(TextRun{text, std::move(link)});
    }
  };
  const QTextDocument* doc = edit_->document();
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    if (block != doc->begin()) append("\n", std::nullopt);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid()) continue;
      const QTextCharFormat format = fragment.charFormat();
      std::optional<std::string> link;
      if (format.isAnchor()) link = toStdString(format.anchorHref());
      append(toStdString(fragment.text()), std::move(link));
    }
  }
  return runs;
}

// ---- ProgressIndicator

// QProgressBar counts in ints; the indicator's doubles are mapped onto a fixed
// fine scale so fractional progress still moves the bar.
constexpr int kProgressSteps = 10000;

QtProgressIndicator::QtProgressIndicator(QProgressBar* bar) : bar_(bar) {
  bar->setRange(0, kProgressSteps);
  show();
}

void QtProgressIndicator::setRange(double min, double max) {
  min_ = min;
  max_ = max;
  show();
}

void QtProgressIndicator::setDoubleValue(double value) {
  value_ = value;
  show();
}

void QtProgressIndicator::show() {
  if (!bar_) return;
  double fraction = max_ > min_ ? (std::clamp(value_, min_, max_) - min_) / (max_ - min_) : 0.0;
  bar_->setValue(static_cast<int>(std::lround(fraction * kProgressSteps)));
}

// ---- Loading a form

void exposeWidgets(InterfaceFile& file, std::unique_ptr<QWidget> top) {
  QWidget* root = top.get();
  // The tree first, so it is destroyed after the wrappers adopted below.
  file.adopt(std::move(top));

  auto* window = file.adopt(std::make_unique<QtWindow>(root));
  file.setWindow(window);
  if (!root->objectName().isEmpty()) file.addOutlet(toStdString(root->objectName()), window);

  for (QWidget* child : root->findChildren<QWidget*>()) {
    const QString name = child->objectName();
    // Unnamed widgets and the toolkit's own internals ("qt_...") are no outlets.
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
    const std::string key = toStdString(name);
    if (auto* b = qobject_cast<QAbstractButton*>(child)) {
      file.addOutlet(key, file.adopt(std::make_unique<QtButton>(b)));
    } else if (auto* e = qobject_cast<QLineEdit*>(child)) {
      file.addOutlet(key, file.adopt(std::make_unique<QtTextField>(e)));
    } else if (auto* l = qobject_cast<QLabel*>(child)) {
      file.addOutlet(key, file.adopt(std::make_unique<QtTextField>(l)));
    } else if (auto* t = qobject_cast<QTextEdit*>(child)) {
      file.addOutlet(key, file.adopt(std::make_unique<QtTextView>(t)));
    } else if (auto* p = qobject_cast<QProgressBar*>(child)) {
      file.addOutlet(key, file.adopt(std::make_unique<QtProgressIndicator>(p)));
    }
  }
}

}  // namespace platform::qt
