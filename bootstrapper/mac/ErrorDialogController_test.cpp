// The error dialog's run splitting, checked on the runs themselves and on
// the text the dialog's real text view holds afterwards (Qt's offscreen
// platform: real widgets, no server).
#include "ErrorDialogController.h"

#include <gtest/gtest.h>

#include "platform/application.h"

namespace {

using platform::AttributedText;
using platform::TextRun;

TextRun plain(std::string t) { return {std::move(t), std::nullopt}; }
TextRun link(std::string t, std::string address) { return {std::move(t), std::move(address)}; }

struct SplitCase {
  const char* what;
  std::string message;
  AttributedText runs;   // what splitting gives
  AttributedText shown;  // what the view holds: maximal runs, nothing empty
};

const std::vector<SplitCase>& splitCases() {
  static const std::vector<SplitCase> cases = {
      {"no markup", "Line one\nline two", {plain("Line one\nline two")}, {plain("Line one\nline two")}},
      {"one link between texts",
       "Please view the <a href='https://www.vantor.test/req'>system requirements</a> for it.",
       {plain("Please view the "), link("system requirements", "https://www.vantor.test/req"), plain(" for it.")},
       {plain("Please view the "), link("system requirements", "https://www.vantor.test/req"), plain(" for it.")}},
      {"link at the end", "See <a href='u'>this</a>", {plain("See "), link("this", "u")},
       {plain("See "), link("this", "u")}},
      {"link at the start", "<a href='u'>this</a> and more", {plain(""), link("this", "u"), plain(" and more")},
       {link("this", "u"), plain(" and more")}},
      {"two links, text after",
       "a <a href='u1'>one</a> b <a href='u2'>two</a> c",
       {plain("a "), link("one", "u1"), plain(" b "), link("two", "u2"), plain(" c")},
       {plain("a "), link("one", "u1"), plain(" b "), link("two", "u2"), plain(" c")}},
      {"two links, nothing after",
       "a <a href='u1'>one</a> b <a href='u2'>two</a>",
       {plain("a "), link("one", "u1"), plain(" b "), link("two", "u2")},
       {plain("a "), link("one", "u1"), plain(" b "), link("two", "u2")}},
      {"adjacent links", "<a href='u1'>one</a><a href='u2'>two</a>",
       {plain(""), link("one", "u1"), plain(""), link("two", "u2")}, {link("one", "u1"), link("two", "u2")}},
      {"no closing '>", "T1 <a href='u text</a>", {plain("T1 <a href='u text</a>")}, {plain("T1 <a href='u text</a>")}},
      {"no </a>", "T1 <a href='u'>text", {plain("T1 <a href='u'>text")}, {plain("T1 <a href='u'>text")}},
      {"complete link, then an unterminated one",
       "x <a href='u'>ok</a> y <a href='v'>broken",
       {plain("x "), link("ok", "u"), plain(" y <a href='v'>broken")},
       {plain("x "), link("ok", "u"), plain(" y <a href='v'>broken")}},
      {"empty message", "", {}, {}},
      {"empty link text", "T1<a href='u'></a>T2", {plain("T1"), link("", "u"), plain("T2")}, {plain("T1T2")}},
      {"empty address", "<a href=''>t</a>", {plain(""), link("t", "")}, {link("t", "")}},
      {"markers are case-sensitive", "<A HREF='u'>t</A>", {plain("<A HREF='u'>t</A>")}, {plain("<A HREF='u'>t</A>")}},
      {"double quotes are not markup", "<a href=\"u\">t</a>", {plain("<a href=\"u\">t</a>")},
       {plain("<a href=\"u\">t</a>")}},
      {"the address ends at the first '>",
       "<a href='u'>'>t</a>", {plain(""), link("'>t", "u")}, {link("'>t", "u")}},
      {"UTF-8 around and in a link",
       "請檢視 <a href='https://例え.test/ü'>系統需求</a>，並據此",
       {plain("請檢視 "), link("系統需求", "https://例え.test/ü"), plain("，並據此")},
       {plain("請檢視 "), link("系統需求", "https://例え.test/ü"), plain("，並據此")}},
      {"only the opening marker", "<a href='", {plain("<a href='")}, {plain("<a href='")}},
  };
  return cases;
}

TEST(SplitMessageIntoRuns, Table) {
  for (const auto& c : splitCases()) EXPECT_EQ(splitMessageIntoRuns(c.message), c.runs) << c.what;
}

class ErrorDialog : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::Application::sharedApplication().hasDisplay()); }
};

TEST_F(ErrorDialog, HoldsTheSplitTextInItsView) {
  ErrorDialogController controller("ErrorDialog");
  ASSERT_NE(controller.window(), nullptr);
  ASSERT_NE(controller.textView, nullptr);
  for (const auto& c : splitCases()) {
    controller.setMessage(c.message, "OK", "Install Sample");
    EXPECT_EQ(controller.textView->attributedText(), c.shown) << c.what;
  }
}

TEST_F(ErrorDialog, SetMessageTitlesTheButtonAndTheWindow) {
  ErrorDialogController controller("ErrorDialog");
  platform::Window* window = controller.window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(controller.window(), window) << "loaded once";
  EXPECT_FALSE(window->isVisible());
  controller.setMessage("text", "Aceptar", "Install Sample");
  EXPECT_EQ(controller.okButton->title(), "Aceptar");
  EXPECT_EQ(window->title(), "Install Sample");

  // A second controller loads the file anew: a window of its own.
  ErrorDialogController other("ErrorDialog");
  EXPECT_NE(other.window(), window);
}

TEST_F(ErrorDialog, SetMessageLoadsTheWindowWhenNeeded) {
  ErrorDialogController controller("ErrorDialog");
  controller.setMessage("x <a href='u'>y</a>", "OK", "Install Sample");
  ASSERT_NE(controller.textView, nullptr);
  EXPECT_EQ(controller.textView->attributedText(), (AttributedText{plain("x "), link("y", "u")}));
}

TEST_F(ErrorDialog, UnknownInterfaceFileGivesNoWindowAndNoCrash) {
  ErrorDialogController controller("NoSuchDialog");
  EXPECT_EQ(controller.window(), nullptr);
  controller.setMessage("text", "OK", "Install Sample");
  EXPECT_EQ(controller.textView, nullptr);
  EXPECT_EQ(controller.okButton, nullptr);
}

}  // namespace
