#include "platform/alert.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <cstring>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "platform/application.h"

extern char** environ;

namespace {

QWidget* messageBox(QWidget* w) { return qobject_cast<QMessageBox*>(w); }

struct Seen {
  std::string text, informative, title;
  Qt::TextFormat informativeFormat = Qt::AutoText;
  std::vector<std::string> captions;
  bool firstIsDefault = false;
};

Seen inspect(QWidget* w) {
  auto* box = static_cast<QMessageBox*>(w);
  Seen s;
  s.text = box->text().toStdString();
  s.informative = box->informativeText().toStdString();
  s.title = box->windowTitle().toStdString();
  if (auto* l = box->findChild<QLabel*>("qt_msgbox_informativelabel")) s.informativeFormat = l->textFormat();
  // Buttons in the order they were given (the button box may lay them out
  // in the desktop's order).
  for (int i = 0;; ++i) {
    auto* b = box->findChild<QPushButton*>(QStringLiteral("alertButton%1").arg(i));
    if (!b) break;
    s.captions.push_back(b->text().toStdString());
    if (i == 0) s.firstIsDefault = box->defaultButton() == b;
  }
  return s;
}

TEST(Alert, ShowsItsTextsAndAnswersWithThePressedButton) {
  Seen seen;
  platform::testing::whenWidgetAppears(messageBox, [&](QWidget* w) {
    seen = inspect(w);
    QTest::mouseClick(w->findChild<QPushButton*>("alertButton1"), Qt::LeftButton);
  });
  platform::AlertContent alert{"Install Sample", "Zeile eins\n<a href='https://x.test/'>kein Link</a>",
                               {"OK", "Abbrechen"}};
  EXPECT_EQ(platform::runAlert(alert), 1001);
  EXPECT_EQ(seen.text, "Install Sample");
  EXPECT_EQ(seen.title, "Install Sample");
  EXPECT_EQ(seen.informative, "Zeile eins\n<a href='https://x.test/'>kein Link</a>");
  // Markup in an alert is shown as it is, never as a link.
  EXPECT_EQ(seen.informativeFormat, Qt::PlainText);
  EXPECT_EQ(seen.captions, (std::vector<std::string>{"OK", "Abbrechen"}));
  EXPECT_TRUE(seen.firstIsDefault);
}

TEST(Alert, ReturnPressesTheFirstButtonAndNoButtonsMeansOK) {
  Seen seen;
  platform::testing::whenWidgetAppears(messageBox, [&](QWidget* w) {
    seen = inspect(w);
    QTest::keyClick(w, Qt::Key_Return);
  });
  EXPECT_EQ(platform::runAlert({"Brenmoor Vantor", "text", {}}), 1000);
  EXPECT_EQ(seen.captions, (std::vector<std::string>{"OK"}));

  platform::testing::whenWidgetAppears(messageBox, [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
  EXPECT_EQ(platform::runAlert({"Brenmoor Vantor", "text", {"Aceptar", "Cancelar"}}), 1000);
}

TEST(ConsoleAlert, TextLayout) {
  struct Case {
    std::string title, text;
    std::vector<std::string> buttons;
    std::string expected;
  };
  const Case cases[] = {
      {"Install Sample", "line 1\nline 2", {"OK"}, "Install Sample\nline 1\nline 2\n[OK]\n"},
      {"T", "ends with LF\n", {"A", "B"}, "T\nends with LF\n[A] [B]\n"},
      {"T", "", {}, "T\n[OK]\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::consoleAlertText(c.title, c.text, c.buttons), c.expected);
}

struct ChildOutput {
  int status = -1;
  std::string out, err;
};

std::string readAll(int fd) {
  std::string s;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(n));
  return s;
}

// Runs the probe with the environment minus every display variable.
ChildOutput runProbeWithoutDisplay(const std::vector<std::string>& args) {
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        entry.rfind("QT_QPA_PLATFORM=", 0) == 0)
      continue;
    envStrings.push_back(entry);
  }
  std::vector<char*> envp;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStrings{ALERT_PROBE};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  int outPipe[2], errPipe[2];
  EXPECT_EQ(pipe2(outPipe, O_CLOEXEC), 0);
  EXPECT_EQ(pipe2(errPipe, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, ALERT_PROBE, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  ChildOutput result;
  if (rc != 0) {
    ADD_FAILURE() << "cannot start " << ALERT_PROBE << ": " << std::strerror(rc);
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    return result;
  }
  // The outputs are small; reading one after the other cannot block the child.
  result.err = readAll(errPipe[0]);
  result.out = readAll(outPipe[0]);
  ::close(outPipe[0]);
  ::close(errPipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

TEST(ConsoleAlert, WithoutADisplayTheAlertGoesToStandardErrorAndAnswersOK) {
  ChildOutput r = runProbeWithoutDisplay(
      {"Brenmoor Vantor", "Esta aplicación requiere\nuna versión", "Aceptar", "Cancelar"});
  EXPECT_EQ(r.status, 0) << r.err;  // runAlert answered 1000, the interface file had no widgets
  EXPECT_EQ(r.err, "Brenmoor Vantor\nEsta aplicación requiere\nuna versión\n[Aceptar] [Cancelar]\n");
  EXPECT_EQ(r.out, "");

  ChildOutput plain = runProbeWithoutDisplay({"Install Sample", "<a href='u'>t</a>"});
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.err, "Install Sample\n<a href='u'>t</a>\n[OK]\n");
  EXPECT_EQ(plain.out, "");
}

}  // namespace
