#include "platform/interface_file.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest/QTest>

#include "platform/application.h"
#include "widgets_qt.h"

namespace {

using platform::InterfaceFile;

struct Loaded {
  std::unique_ptr<InterfaceFile> file = platform::loadInterfaceFile("WidgetGallery");
  QWidget* top() const { return static_cast<platform::qt::QtWindow*>(file->window())->widget(); }
  template <typename W>
  W* widget(const char* name) const { return top()->findChild<W*>(QString::fromLatin1(name)); }
};

TEST(InterfaceFile, ExposesEveryNamedWidgetByKind) {
  ASSERT_TRUE(platform::Application::sharedApplication().hasDisplay());
  Loaded g;
  ASSERT_NE(g.file, nullptr);
  EXPECT_EQ(g.file->name(), "WidgetGallery");
  ASSERT_NE(g.file->window(), nullptr);
  EXPECT_EQ(g.file->window(), g.file->windowNamed("WidgetGallery"));
  EXPECT_EQ(g.file->window()->title(), "Gallery");
  EXPECT_FALSE(g.file->window()->isVisible());

  EXPECT_NE(g.file->button("pushButton"), nullptr);
  EXPECT_NE(g.file->button("checkBox"), nullptr);
  EXPECT_NE(g.file->textField("label"), nullptr);
  EXPECT_NE(g.file->textField("lineEdit"), nullptr);
  EXPECT_NE(g.file->textView("browser"), nullptr);
  EXPECT_NE(g.file->progressIndicator("progress"), nullptr);
  // Wrong kind, container widgets and unknown names give no outlet.
  EXPECT_EQ(g.file->button("label"), nullptr);
  EXPECT_EQ(g.file->textView("lineEdit"), nullptr);
  EXPECT_EQ(g.file->windowNamed("group"), nullptr);
  EXPECT_EQ(g.file->button("nosuch"), nullptr);
  EXPECT_EQ(g.file->outletNames(),
            (std::vector<std::string>{"WidgetGallery", "browser", "checkBox", "label", "lineEdit", "progress",
                                      "pushButton"}));
}

TEST(InterfaceFile, EachLoadBuildsNewWidgets) {
  Loaded a, b;
  EXPECT_NE(a.top(), b.top());
  a.file->window()->setTitle("changed");
  EXPECT_EQ(b.file->window()->title(), "Gallery");
}

TEST(InterfaceFile, UnknownNameLoadsNothing) {
  EXPECT_FALSE(platform::hasInterfaceFile("NoSuchInterface"));
  EXPECT_EQ(platform::loadInterfaceFile("NoSuchInterface"), nullptr);
  EXPECT_TRUE(platform::hasInterfaceFile("WidgetGallery"));
}

TEST(InterfaceFile, WindowShowAndHide) {
  Loaded g;
  g.file->window()->makeKeyAndOrderFront();
  EXPECT_TRUE(g.file->window()->isVisible());
  EXPECT_TRUE(g.top()->isVisible());
  g.file->window()->close();
  EXPECT_FALSE(g.file->window()->isVisible());
}

TEST(InterfaceFile, ButtonRunsItsCurrentActionOnARealClick) {
  Loaded g;
  platform::Button* button = g.file->button("pushButton");
  int first = 0, second = 0;
  button->setAction([&] { ++first; });
  auto* push = g.widget<QPushButton>("pushButton");
  QTest::mouseClick(push, Qt::LeftButton);
  EXPECT_EQ(first, 1);

  button->setAction([&] { ++second; });
  QTest::mouseClick(push, Qt::LeftButton);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);

  button->setEnabled(false);
  EXPECT_FALSE(button->isEnabled());
  QTest::mouseClick(push, Qt::LeftButton);
  EXPECT_EQ(second, 1);

  button->setTitle("Über");
  EXPECT_EQ(push->text().toStdString(), "Über");
  EXPECT_EQ(button->title(), "Über");
}

TEST(InterfaceFile, ActionMayReplaceItself) {
  Loaded g;
  platform::Button* button = g.file->button("checkBox");
  std::vector<int> calls;
  button->setAction([&] {
    calls.push_back(1);
    button->setAction([&] { calls.push_back(2); });
  });
  auto* box = g.widget<QCheckBox>("checkBox");
  // Space toggles a check box through the keyboard, as a user would.
  QTest::keyClick(box, Qt::Key_Space);
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_EQ(calls, (std::vector<int>{1, 2}));
}

TEST(InterfaceFile, TextFieldsShowTheirStringAsGiven) {
  Loaded g;
  platform::TextField* label = g.file->textField("label");
  EXPECT_EQ(label->stringValue(), "label text");
  label->setStringValue("<b>Bitte warten.</b>");
  EXPECT_EQ(g.widget<QLabel>("label")->text().toStdString(), "<b>Bitte warten.</b>");
  EXPECT_EQ(g.widget<QLabel>("label")->textFormat(), Qt::PlainText);

  platform::TextField* edit = g.file->textField("lineEdit");
  edit->setStringValue("正在安装 Sample");
  EXPECT_EQ(edit->stringValue(), "正在安装 Sample");
  EXPECT_EQ(g.widget<QLineEdit>("lineEdit")->text(), QStringLiteral("正在安装 Sample"));
}

TEST(InterfaceFile, ProgressIndicatorMapsItsRangeOntoTheBar) {
  Loaded g;
  platform::ProgressIndicator* p = g.file->progressIndicator("progress");
  auto* bar = g.widget<QProgressBar>("progress");
  p->setRange(0, 100);
  p->setDoubleValue(42.5);
  EXPECT_DOUBLE_EQ(p->doubleValue(), 42.5);
  EXPECT_EQ(bar->value() - bar->minimum(), (bar->maximum() - bar->minimum()) * 425 / 1000);
  p->setDoubleValue(150);
  EXPECT_EQ(bar->value(), bar->maximum());
  p->setDoubleValue(-3);
  EXPECT_EQ(bar->value(), bar->minimum());
  p->setRange(10, 20);
  p->setDoubleValue(15);
  EXPECT_EQ(bar->value() - bar->minimum(), (bar->maximum() - bar->minimum()) / 2);
}

TEST(InterfaceFile, TextViewCarriesLinkFormatsAndReadsBackItsRuns) {
  Loaded g;
  platform::TextView* view = g.file->textView("browser");
  const platform::AttributedText text = {
      {"Bitte lesen Sie die ", std::nullopt},
      {"Systemvoraussetzungen", std::string("https://www.vantor.test/req?a=1&b='2'")},
      {" für Brenmoor Vantor.\nZweite Zeile", std::nullopt},
  };
  view->setAttributedText(text);
  EXPECT_EQ(view->attributedText(), text);

  auto* browser = g.widget<QTextBrowser>("browser");
  EXPECT_TRUE(browser->openExternalLinks());
  EXPECT_EQ(browser->toPlainText().toStdString(),
            "Bitte lesen Sie die Systemvoraussetzungen für Brenmoor Vantor.\nZweite Zeile");
  // Every fragment: the link one has anchor, blue and a single underline;
  // the others have none of them.
  const QColor blue = QGuiApplication::palette().color(QPalette::Link);
  int linkFragments = 0;
  for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat f = it.fragment().charFormat();
      if (it.fragment().text() == QStringLiteral("Systemvoraussetzungen")) {
        ++linkFragments;
        EXPECT_TRUE(f.isAnchor());
        EXPECT_EQ(f.anchorHref().toStdString(), "https://www.vantor.test/req?a=1&b='2'");
        EXPECT_EQ(f.foreground().color(), blue);
        EXPECT_EQ(f.underlineStyle(), QTextCharFormat::SingleUnderline);
      } else {
        EXPECT_FALSE(f.isAnchor()) << it.fragment().text().toStdString();
        EXPECT_EQ(f.underlineStyle(), QTextCharFormat::NoUnderline);
        EXPECT_FALSE(f.hasProperty(QTextFormat::ForegroundBrush));
      }
    }
  }
  EXPECT_EQ(linkFragments, 1);
  EXPECT_EQ(blue, QColor(Qt::blue));

  // Replacing drops everything that was there, the link included.
  view->setAttributedText({{"plain", std::nullopt}});
  EXPECT_EQ(view->attributedText(), (platform::AttributedText{{"plain", std::nullopt}}));
  view->setAttributedText({});
  EXPECT_TRUE(view->attributedText().empty());
  EXPECT_TRUE(browser->toPlainText().isEmpty());
}

TEST(InterfaceFile, TextViewMergesAdjacentRunsOfEqualAttributes) {
  Loaded g;
  platform::TextView* view = g.file->textView("browser");
  view->setAttributedText({{"a", std::nullopt},
                           {"", std::string("https://x.test/")},
                           {"b", std::nullopt},
                           {"c", std::string("https://y.test/")},
                           {"d", std::string("https://y.test/")}});
  EXPECT_EQ(view->attributedText(),
            (platform::AttributedText{{"ab", std::nullopt}, {"cd", std::string("https://y.test/")}}));
}

TEST(InterfaceFile, TextViewMarkedToFitGrowsWithItsText) {
  Loaded g;
  auto* browser = g.widget<QTextBrowser>("browser");
  browser->setMinimumWidth(300);
  browser->setProperty("fitsContentHeight", true);
  platform::TextView* view = g.file->textView("browser");
  view->setAttributedText({{"one line", std::nullopt}});
  const int oneLine = browser->minimumHeight();
  std::string tall;
  for (int i = 0; i < 12; ++i) tall += "line " + std::to_string(i) + "\n";
  view->setAttributedText({{tall + "last", std::nullopt}});
  const int twelveLines = browser->minimumHeight();
  EXPECT_GT(oneLine, 0);
  EXPECT_GT(twelveLines, oneLine + 10 * browser->fontMetrics().lineSpacing());
  EXPECT_LE(twelveLines, 480);
  view->setAttributedText({{"short again", std::nullopt}});
  EXPECT_EQ(browser->minimumHeight(), oneLine);
}

// A main interface as a program writes it: objects of its own plus a form.
struct Tracker {
  Tracker(std::vector<std::string>* l, std::string n) : log(l), name(std::move(n)) {}
  ~Tracker() { log->push_back(name); }
  std::vector<std::string>* log;
  std::string name;
};

struct Delegate : platform::ApplicationDelegate {
  void applicationDidFinishLaunching() override {}
};

TEST(InterfaceFile, HandWrittenLoaderOwnsItsObjectsAndMergedForms) {
  std::vector<std::string> destroyed;
  platform::registerInterfaceFile("CompositeSample", [&destroyed] {
    auto file = std::make_unique<InterfaceFile>();
    file->adopt(std::make_unique<Tracker>(&destroyed, "first"));
    file->merge(platform::loadInterfaceFile("WidgetGallery"));
    auto* d = file->adopt(std::make_unique<Delegate>());
    file->setApplicationDelegate(d);
    file->adopt(std::make_unique<Tracker>(&destroyed, "last"));
    return file;
  });
  auto file = platform::loadInterfaceFile("CompositeSample");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->name(), "CompositeSample");
  EXPECT_NE(file->applicationDelegate(), nullptr);
  ASSERT_NE(file->window(), nullptr);
  EXPECT_EQ(file->window()->title(), "Gallery");
  EXPECT_NE(file->button("pushButton"), nullptr);
  EXPECT_NE(file->progressIndicator("progress"), nullptr);
  file.reset();
  EXPECT_EQ(destroyed, (std::vector<std::string>{"last", "first"}));
}

}  // namespace
