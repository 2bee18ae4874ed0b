#include "platform/alert.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "platform/application.h"
#include "widgets_qt.h"

namespace platform {

namespace {
constexpr int kInformativeWidth = 440;
}  // namespace

int runAlert(const AlertContent& alert) {
  Application& app = Application::sharedApplication();
  std::vector<std::string> captions = alert.buttons;
  if (captions.empty()) captions.push_back("OK");

  if (!app.hasDisplay()) {
    writeConsoleAlert(alert.messageText, alert.informativeText, captions);
    return 1000;
  }

  QMessageBox box;
  box.setObjectName(QStringLiteral("Alert"));
  // Window managers show a title bar; the headline doubles as its title.
  box.setWindowTitle(qt::toQString(alert.messageText));
  box.setIcon(QMessageBox::NoIcon);
  box.setTextFormat(Qt::PlainText);
  box.setText(qt::toQString(alert.messageText));
  box.setInformativeText(qt::toQString(alert.informativeText));
  // Both texts are shown as given: an address or a "<a href=...>" in an
  // alert's text is plain text, not a link (only the error dialog has links).
  if (auto* headline = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
    QFont bold = headline->font();
    bold.setBold(true);
    headline->setFont(bold);
  }
  if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
    informative->setTextFormat(Qt::PlainText);
    // The message box would otherwise wrap at about 250 pixels and break the
    // texts' own lines in two; this is the width of a platform alert.
    informative->setMinimumWidth(kInformativeWidth);
  }

  std::vector<QAbstractButton*> buttons;
  for (std::size_t i = 0; i < captions.size(); ++i) {
    auto role = i == 0 ? QMessageBox::AcceptRole : i == 1 ? QMessageBox::RejectRole : QMessageBox::ActionRole;
    QPushButton* b = box.addButton(qt::toQString(captions[i]), role);
    b->setObjectName(QStringLiteral("alertButton%1").arg(i));
    buttons.push_back(b);
  }
  box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
  box.setEscapeButton(buttons.front());

  box.exec();
  for (std::size_t i = 0; i < buttons.size(); ++i)
    if (box.clickedButton() == buttons[i]) return 1000 + static_cast<int>(i);
  return 1000;
}

}  // namespace platform
