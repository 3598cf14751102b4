// The scripted runner driving the sample dialog.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "sample_dialog.h"
#include "ui/script.h"

namespace {

using sample::SampleDialog;

struct Outcome {
  int result;
  std::string out;
  bool failed;
};

Outcome RunScript(SampleDialog& dialog, const std::string& script) {
  std::istringstream in(script);
  std::ostringstream out;
  auto services = ui::MakeScriptedServices(in, out);
  int result = dialog.DoModal(*services);
  services->Finish();
  return {result, out.str(), services->Failed()};
}

// Lets a test look at the dialog in the middle of a run.
struct Probe {
  explicit Probe(std::function<void(ui::Dialog&)> look) {
    ui::RenderHooks hooks;
    hooks.screenshot = [look](ui::Dialog& d, const std::string&) {
      look(d);
      return S_OK;
    };
    ui::SetRenderHooks(hooks);
  }
  ~Probe() { ui::SetRenderHooks({}); }
};

TEST(UiScript, ActionsAndChecksOfEveryKind) {
  SampleDialog d;
  Outcome o = RunScript(d, R"(# every action and check
expect-dialog 100
expect-title "Sample dialog"
expect-text 18 "Label"
expect-text 24 "Bob"
expect-visible 17 1
expect-enabled 10 1
expect-items 20 "alpha" "beta" "gamma"
expect-selected 20 -1
expect-selected 21 1
expect-text 21 "two"
expect-checked 15 1
text 24 "Alice \"A\""
text 19 "4x2"          # letters are dropped by the number field
expect-text 19 "42"
check 12 1
expect-checked 12 1
check 13 1
expect-checked 13 1
check 16 1
expect-checked 15 0
select 20 2
expect-text 25 "sel 2"
dblclick 20 1
expect-text 25 "dbl 1"
select-text 21 "three"
expect-text 25 "data 30"
text 22 "hi"
expect-text 22 "hi"
expect-text 25 "typed 2"
char 22 33
key 22 Back shift ctrl
key 22 Left
mouse 22 down 10 12
mouse 22 move 11 12
mouse 22 up 11 12
mouse 22 dblclick 11 12
mouse 20 down 5 40
expect-selected 20 2
focus 24
menu 503
menu 32784
key 24 F1
ok
)");
  EXPECT_FALSE(o.failed) << o.out;
  EXPECT_EQ(o.result, ui::IDOK);
  EXPECT_EQ(d.name, "Alice \"A\"");
  EXPECT_EQ(d.number, 42);
  EXPECT_EQ(d.autoCheck, 1);
  EXPECT_EQ(d.radio, 2);
  EXPECT_EQ(d.comboIndex, 2);
  EXPECT_EQ(d.counter.typed, "hi");  // '!' typed, then removed by Back
  EXPECT_EQ(d.notifies, 3);
  EXPECT_EQ(d.counter.keyLog, (std::vector<std::string>{"8sc", "3"}));
  EXPECT_EQ(d.counter.downs, 1);
  EXPECT_EQ(d.counter.moves, 1);
  EXPECT_EQ(d.counter.ups, 1);
  EXPECT_EQ(d.counter.doubles, 1);
  EXPECT_EQ(d.counter.lastX, 11);
  EXPECT_EQ(d.painter.mouseDowns, 1);
  EXPECT_EQ(d.counter.focusGained, 1);
  EXPECT_EQ(d.counter.focusLost, 1);
  EXPECT_NE(o.out.find("url: https://example.invalid/sample\n"), std::string::npos);
  EXPECT_NE(o.out.find("help: sample.hlp #100\n"), std::string::npos);
}

TEST(UiScript, NestedDialogAndPlatformDialogAnswers) {
  SampleDialog d;
  Outcome o = RunScript(d, R"(
click 10
expect-dialog 101
text 30 "inner"
ok
expect-dialog 100
expect-text 25 "nested 1"
file "/tmp/a.smp"
font "Courier" 12 italic
printer 600 "/tmp/out.pdf"
file cancel
menu 500
expect-text 25 "open /tmp/a.smp"
menu 501
expect-text 25 "font Courier 12 italic"
menu 502
expect-text 25 "print 600 /tmp/out.pdf"
menu 500
expect-text 25 "open cancelled"
menu 501
expect-text 25 "font cancelled"
cancel
)");
  EXPECT_FALSE(o.failed) << o.out;
  EXPECT_EQ(o.result, ui::IDCANCEL);
  EXPECT_EQ(d.nestedText, "inner");
  EXPECT_NE(o.out.find("open: Open sample -> \"/tmp/a.smp\"\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("printer: -> 600 \"/tmp/out.pdf\"\n"), std::string::npos);
  EXPECT_NE(o.out.find("font: -> cancel (no answer)\n"), std::string::npos);
  EXPECT_TRUE(d.printed);  // without the Qt runner the page is only recorded
  EXPECT_EQ(d.printCalls, (std::vector<std::string>{"doc Print-Doc", "page", "font Arial -64 400",
                                                    "text 400 100 Sample page", "line 400 200 4562 200",
                                                    "endpage", "enddoc"}));
}

TEST(UiScript, AnswersAreUsedInOrderAndMissingOnesTakeTheDefault) {
  SampleDialog d;
  Outcome o = RunScript(d, R"(
answer no
expect-box "Really delete?"
answer yes
click 11
click 11
click 11
ok
)");
  EXPECT_FALSE(o.failed) << o.out;
  EXPECT_EQ(d.boxAnswers, (std::vector<int>{ui::IDNO, ui::IDYES, ui::IDNO}));
  EXPECT_EQ(o.out,
            "box: Delete: Really delete? -> no\n"
            "box: Delete: Really delete? -> yes\n"
            "box: Delete: Really delete? -> no (default)\n");
}

TEST(UiScript, ReturnPressesTheFocusedOrDefaultButtonAndEscapeCancels) {
  SampleDialog d1;
  Outcome o = RunScript(d1, "key 24 Return\n");  // in the name field: the default button, OK
  EXPECT_EQ(o.result, ui::IDOK) << o.out;
  SampleDialog d2;
  o = RunScript(d2, "key 11 Return\nkey 22 Escape\n");  // on Delete: Delete itself
  EXPECT_EQ(d2.boxAnswers, (std::vector<int>{ui::IDNO}));
  EXPECT_EQ(o.result, ui::IDCANCEL);
  EXPECT_FALSE(o.failed) << o.out;
}

TEST(UiScript, FailedExpectationNamesItsLineAndCancels) {
  SampleDialog d;
  Outcome o = RunScript(d, "expect-dialog 100\n\nexpect-text 18 \"Lab\\tel\"\nok\n");
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.result, ui::IDCANCEL);
  EXPECT_EQ(o.out,
            "script:3: expected text of 18 \"Lab\\tel\", found \"Label\"\n"
            "script: dialog 100 cancelled\n");
}

TEST(UiScript, WrongBoxTextOrAnswerFails) {
  SampleDialog d1;
  Outcome o = RunScript(d1, "expect-box \"Other\"\nanswer yes\nclick 11\nok\n");
  EXPECT_TRUE(o.failed);
  EXPECT_NE(o.out.find("script:1: expected box \"Other\", found \"Really delete?\"\n"), std::string::npos);
  EXPECT_EQ(o.result, ui::IDCANCEL);  // nothing after the failure runs

  SampleDialog d2;
  o = RunScript(d2, "answer ok\nclick 11\nok\n");
  EXPECT_TRUE(o.failed);
  EXPECT_NE(o.out.find("script:1: expected a box offering ok, found yes/no"), std::string::npos) << o.out;
}

TEST(UiScript, UnparsableLinesFailBeforeAnythingRuns) {
  SampleDialog d;
  Outcome o = RunScript(d, "click 11\nclik 10\ncheck 12 2\ntext 24 \"open\nkey 22 Insert\n");
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.result, ui::IDCANCEL);
  EXPECT_TRUE(d.boxAnswers.empty());
  EXPECT_EQ(o.out,
            "script:2: cannot parse: unknown command \"clik\"\n"
            "script:3: cannot parse: check: expected 0 or 1, found 2\n"
            "script:4: cannot parse: text without closing quote\n"
            "script:5: cannot parse: key: unknown key \"Insert\"\n"
            "script: dialog 100 cancelled\n");
}

TEST(UiScript, DialogsLeftOpenAreCancelledInnermostFirst) {
  SampleDialog d;
  Outcome o = RunScript(d, "click 10\nexpect-dialog 101\n");
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.result, ui::IDCANCEL);
  EXPECT_EQ(d.nestedResult, ui::IDCANCEL);
  EXPECT_EQ(o.out,
            "script: dialog 101 left open at end of script, cancelled\n"
            "script: dialog 100 cancelled\n");
}

TEST(UiScript, ActionsAUserCannotDoFail) {
  struct Case {
    const char* script;
    const char* message;
  };
  const Case cases[] = {
      {"click 99\n", "script:1: no control 99 in dialog 100\n"},
      {"click 18\n", "script:1: control 18 is not a button\n"},
      {"menu 999\n", "script:1: no menu item 999\n"},
      {"select 20 3\n", "script:1: expected an index below 3 for 20, found 3\n"},
      {"select-text 21 \"four\"\n", "script:1: expected an item \"four\" in 21, found none\n"},
      {"check 15 0\n", "script:1: radio button 15 cannot be cleared; check another one of its group\n"},
      {"text 18 \"x\"\n", "script:1: control 18 takes no text\n"},
      {"screenshot \"/tmp/x.png\"\n", "script:1: screenshot needs the Qt runner, which is not available\n"},
  };
  for (const Case& c : cases) {
    SampleDialog d;
    Outcome o = RunScript(d, c.script);
    EXPECT_TRUE(o.failed) << c.script;
    EXPECT_EQ(o.out.substr(0, o.out.find('\n') + 1), c.message) << c.script;
  }
}

TEST(UiScript, DisabledAndHiddenControlsRefuseInput) {
  SampleDialog d;
  Probe probe([](ui::Dialog& dialog) {
    dialog.EnableControl(sample::kDelete, false);
    dialog.ShowControl(sample::kAuto, false);
    dialog.EnableMenuItem(sample::kMenuOpen, false);
  });
  Outcome o = RunScript(d, "screenshot \"x\"\nexpect-enabled 11 0\nexpect-visible 12 0\nclick 11\n");
  EXPECT_NE(o.out.find("script:4: control 11 is disabled\n"), std::string::npos) << o.out;
  SampleDialog d2;
  o = RunScript(d2, "screenshot \"x\"\ncheck 12 1\n");
  EXPECT_NE(o.out.find("script:2: control 12 is hidden\n"), std::string::npos) << o.out;
  SampleDialog d3;
  o = RunScript(d3, "screenshot \"x\"\nmenu 500\n");
  EXPECT_NE(o.out.find("script:2: menu item 500 is disabled\n"), std::string::npos) << o.out;
}

TEST(UiScript, DataExchangeFailureKeepsTheDialogOpenOnTheField) {
  SampleDialog d;
  Outcome o = RunScript(d, R"(
text 24 ""
ok
expect-dialog 100
text 24 "Eve"
text 19 ""
ok
expect-dialog 100
text 19 "5"
ok
)");
  EXPECT_FALSE(o.failed) << o.out;
  EXPECT_EQ(o.result, ui::IDOK);
  EXPECT_EQ(o.out,
            "box: Error: Name missing -> ok (default)\n"
            "box: Sample dialog: Please enter an integer. -> ok (default)\n");
  EXPECT_EQ(d.focusAfterFailure, sample::kNumber);
  EXPECT_EQ(d.name, "Eve");
  EXPECT_EQ(d.number, 5);
}

TEST(UiScript, TimersFocusAndModalCountDuringARun) {
  SampleDialog d;
  std::vector<ui::Dialog::Timer> timers;
  int modal = 0, focus = 0;
  Probe probe([&](ui::Dialog& dialog) {
    timers = dialog.Timers();
    modal = ui::OpenModalCount();
    focus = dialog.GetFocus();
    dialog.FireTimer(0, 1);
    dialog.FireTimer(sample::kCounter, 7);
    dialog.FireTimer(0, 99);  // not running: ignored
  });
  Outcome o = RunScript(d, "focus 22\nscreenshot \"x\"\nok\n");
  EXPECT_FALSE(o.failed) << o.out;
  ASSERT_EQ(timers.size(), 2u);
  EXPECT_EQ(timers[0].controlId, 0);
  EXPECT_EQ(timers[0].milliseconds, 100);
  EXPECT_EQ(timers[1].controlId, sample::kCounter);
  EXPECT_EQ(timers[1].milliseconds, 500);
  EXPECT_EQ(modal, 1);
  EXPECT_EQ(focus, sample::kCounter);
  EXPECT_EQ(d.ticks, 1);
  EXPECT_EQ(d.counter.ticks, 1);
  EXPECT_EQ(ui::OpenModalCount(), 0);
  EXPECT_TRUE(d.Timers().empty());  // stopped when the dialog closed
}

TEST(UiScript, LeftoverCommandsAndAnswersFailTheRun) {
  SampleDialog d1;
  Outcome o = RunScript(d1, "ok\nclick 10\n");
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.out, "script:2: \"click\" with no dialog open\n");
  SampleDialog d2;
  o = RunScript(d2, "file \"/tmp/x\"\nok\n");
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.out, "script:1: \"file\" was never asked for\n");
}

// Asks its question while it opens.
class AskingDialog : public ui::Dialog {
 public:
  AskingDialog() : Dialog(sample::NestedTemplate()) {}
  int answer = 0;

 protected:
  bool OnInitDialog() override {
    answer = Services().MessageBox(
        {"Start", "Continue?", ui::Buttons::YesNo, ui::Icon::Question, ui::IDNO, false});
    return true;
  }
};

TEST(UiScript, AnswersAtTheTopServeTheFirstDialogWhileItOpens) {
  AskingDialog d;
  std::istringstream in("# answered before any command runs\nanswer yes\nexpect-dialog 101\nok\n");
  std::ostringstream out;
  auto services = ui::MakeScriptedServices(in, out);
  EXPECT_EQ(d.DoModal(*services), ui::IDOK);
  EXPECT_TRUE(services->Finish()) << out.str();
  EXPECT_EQ(d.answer, ui::IDYES);
  EXPECT_EQ(out.str(), "box: Start: Continue? -> yes\n");
}

TEST(UiScript, UnreadableScriptCancelsEverything) {
  std::ostringstream out;
  auto services = ui::MakeScriptedServices("/nonexistent/dir/script.ui", out);
  SampleDialog d;
  EXPECT_EQ(d.DoModal(*services), ui::IDCANCEL);
  EXPECT_TRUE(services->Failed());
  EXPECT_EQ(out.str(), "script: cannot read /nonexistent/dir/script.ui\nscript: dialog 100 cancelled\n");
}

}  // namespace

namespace {

TEST(UiScriptLanguage, ExpectBoxAndAnswerPairInEitherOrder) {
  SampleDialog d;
  Outcome o = RunScript(d, R"(
answer yes
expect-box "Really delete?"
click 11
expect-box "Really delete?"
answer no
click 11
ok
)");
  EXPECT_FALSE(o.failed) << o.out;
  EXPECT_EQ(d.boxAnswers, (std::vector<int>{ui::IDYES, ui::IDNO}));
  // A box that is not the expected one is still reported first.
  SampleDialog d2;
  o = RunScript(d2, "answer yes\nexpect-box \"Other\"\nclick 11\nok\n");
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.out.rfind("box: Delete: Really delete? -> yes\nscript:1: expected box \"Other\"", 0), 0u)
      << o.out;
}

TEST(UiScriptLanguage, ControlsListsTheDialogAndMenuItemsCanBeChecked) {
  SampleDialog d;
  Probe probe([](ui::Dialog& dialog) {
    dialog.CheckMenuItem(sample::kMenuFont, true);
    dialog.EnableMenuItem(sample::kMenuOpen, false);
  });
  Outcome o = RunScript(d, R"(
controls
screenshot "x.png"
expect-checked 501 1
expect-checked 502 0
expect-enabled 500 0
expect-enabled 502 1
expect-checked 500 1
ok
)");
  EXPECT_NE(o.out.find("control 24 edit \"Bob\" enabled=1 visible=1 checked=0 at 15,16 120x19\n"),
            std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("menu 502 "), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("menu 32784 \"&About\" enabled=1 checked=0\n"), std::string::npos) << o.out;
  // Only the last check fails: 500 is not checked.
  EXPECT_TRUE(o.failed);
  EXPECT_NE(o.out.find("script:8: expected checked of menu item 500 1, found 0"), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("script:4"), std::string::npos) << o.out;
}

TEST(UiScriptLanguage, MouseDoubleClickSelectsTheRowUnderThePointerFirst) {
  SampleDialog d;
  Outcome o = RunScript(d, "mouse 20 dblclick 5 40\nexpect-selected 20 2\nexpect-text 25 \"dbl 2\"\nok\n");
  EXPECT_FALSE(o.failed) << o.out;
}

TEST(UiScriptLanguage, CharacterCodesAreWrittenAndReportedAsHex) {
  SampleDialog d;
  // \x01 reaches the owner-drawn control as code 1; \xE4 and "ä" are the
  // same character.
  Outcome o = RunScript(d, R"(
text 22 "a\x01"
expect-text 22 "a\x01"
text 24 "\xE4"
expect-text 24 "ä"
expect-text 24 "b"
ok
)");
  EXPECT_TRUE(o.failed);
  EXPECT_NE(o.out.find("script:6: expected text of 24 \"b\", found \"\\xE4\""), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("script:3"), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("script:5"), std::string::npos) << o.out;
  SampleDialog d2;
  o = RunScript(d2, "text 24 \"\\x4\"\nok\n");
  EXPECT_NE(o.out.find("cannot parse: \\x takes two hexadecimal digits"), std::string::npos) << o.out;
  // Control codes, DEL and Latin-1 letters are reported as codes; other
  // characters as they are.
  SampleDialog d3;
  o = RunScript(d3, "text 24 \"\\x1B[1m\\x7F\\xE9\xE2\x82\xAC\"\nexpect-text 24 \"\"\nok\n");
  EXPECT_NE(o.out.find("found \"\\x1B[1m\\x7F\\xE9\xE2\x82\xAC\""), std::string::npos) << o.out;
}

}  // namespace
