// The main dialog on a device of a real temporary project, driven by UI
// scripts through the scripted runner.
#include "editor/main_dialog.h"

#include <gtest/gtest.h>

#include <sstream>

#include "data/dx470data.h"
#include "data/positions.h"
#include "plugin_project_fixture.h"
#include "ui/script.h"
#include "ui/services.h"
#include "win/profile.h"

namespace {

using editor::DX470MainDialog;
namespace id = editor::id;

class MainDialog : public testsupport::ProjectFixture {
 protected:
  void SetUp() override { ASSERT_EQ(data.EtsInit(device.Get()), S_OK); }

  dx470::PARAM& Param() { return data.Param(); }
  void Define(int slot, uint8_t receive = 1, bool shown = true) {
    dx470::DefineMessage(Param(), slot, receive, 0, false, "Msg " + std::to_string(slot));
    if (!shown) dx470::SwitchMessageOff(Param(), slot);
  }

  // Runs the dialog with `script`; report and success of the script.
  int Run(const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out;
    auto services = ui::MakeScriptedServices(in, out);
    // Nested dialogs run with the process's services, as in the editor.
    ui::SetServices(services.get());
    dialog = std::make_unique<DX470MainDialog>(data, dialogs);
    int result = dialog->DoModal(*services);
    ui::SetServices(nullptr);
    scriptOk = services->Finish();
    report = out.str();
    return result;
  }

  CDX470Data data;
  editor::EditorDialogs dialogs;
  std::unique_ptr<DX470MainDialog> dialog;
  bool scriptOk = false;
  std::string report;
};

TEST_F(MainDialog, OpensWithCaptionTranslatedTextsSixteenRowsAndHiddenGroupButtons) {
  std::string name;
  data.EtsGetDeviceName(name);
  std::string script = "expect-dialog 201\nexpect-title \"1.1.5  " + name + "\"\n";
  for (int row = 0; row < 16; ++row)  // empty slots, by slot number
    script += "expect-text " + std::to_string(id::kRowNumbers[size_t(row)]) + " \"" +
              std::to_string(row + 1) + "\"\n";
  script +=
      "expect-text 201 \"\\t\\t\"\nexpect-text 1 \"OK\"\nexpect-text 202 \"Message\"\n"
      "expect-visible 8 0\nexpect-visible 10 0\nexpect-enabled 5 0\nexpect-enabled 4 0\n"
      "expect-enabled 223 0\ncancel\n";
  EXPECT_EQ(Run(script), ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_EQ(dialog->GetCount(id::kList), 16);
  EXPECT_EQ(dialog->ControlRect(id::kList).top, 65);
  EXPECT_EQ(dialog->ControlRect(id::kFirstCheckBox + 15).top, 66 + 17 * 15);
  EXPECT_EQ(dialog->GetItemHeight(id::kList, 15), 17);
  EXPECT_EQ(dialog->Menu().popups[4].text, "Help");
  // Commands whose dialogs this build lacks are disabled; About has its
  // system menu item all the same.
  EXPECT_FALSE(dialog->IsMenuItemEnabled(id::kMenuGeneral));
  EXPECT_FALSE(dialog->IsMenuItemEnabled(id::kSysAbout));
  EXPECT_TRUE(dialog->HasMenuItem(id::kSysAbout));
  EXPECT_TRUE(dialog->IsMenuItemEnabled(id::kMenuDelete));
}

TEST_F(MainDialog, DisplayOrderIsUsedByPositionThenDefinedThenEmpty) {
  Define(9);
  Define(4, 2, false);
  Define(2);
  Define(12, 3, false);
  dx470::MoveMessage(Param(), 2, true);  // slot 2 shown first, then slot 9
  EXPECT_EQ(
      Run("expect-text 207 \"3\"\nexpect-text 221 \"10\"\nexpect-text 214 \"5\"\nexpect-text 215 \"13\"\n"
          "expect-text 216 \"1\"\nexpect-checked 223 1\nexpect-checked 224 1\nexpect-checked 225 0\n"
          "expect-text 201 \"Msg 2\\tstatic text\\tunused\"\nselect 201 3\n"
          "expect-text 201 \"Msg 12\\tvalue 8 bit\\tunused\"\ncancel\n"),
      ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
}

TEST_F(MainDialog, WithoutUsedMessagesMovesAreDisabledAndCheckingMakesTheFirstRow) {
  Define(2, 1, false);
  Define(5, 1, false);
  EXPECT_EQ(
      Run("expect-enabled 6 0\nexpect-enabled 7 0\nselect 201 1\nexpect-enabled 6 0\nexpect-enabled 7 0\n"
          "expect-enabled 223 0\nexpect-enabled 224 1\ncheck 224 1\n"
          "expect-selected 201 0\nexpect-text 207 \"6\"\nexpect-checked 223 1\nexpect-enabled 223 1\n"
          "expect-enabled 224 0\nexpect-enabled 7 0\ncheck 223 0\nexpect-checked 223 0\nexpect-text 207 "
          "\"3\"\n"
          "expect-selected 201 1\ncancel\n"),
      ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
}

TEST_F(MainDialog, NewIsDisabledWhenAllSixteenSlotsAreDefined) {
  dialogs.messageTypes = [](dx470::PARAM&, int) { return ui::IDCANCEL; };
  for (int slot = 0; slot < 16; ++slot) Define(slot);
  EXPECT_EQ(Run("expect-enabled 3 0\nanswer yes\nclick 5\nexpect-enabled 3 1\ncancel\n"), ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
  // Without the message types dialog New stays disabled even with room.
  dialogs.messageTypes = nullptr;
  EXPECT_EQ(Run("expect-enabled 3 0\ncancel\n"), ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
}

TEST_F(MainDialog, DeletingTheLastUsedMessageMovesTheSelectionUp) {
  for (int slot : {0, 1, 2}) Define(slot);
  EXPECT_EQ(
      Run("select 201 2\nexpect-box \"Do you really want to delete the message and all connected "
          "associations?\"\nanswer no\nclick 5\nexpect-selected 201 2\nanswer yes\nclick 5\n"
          "expect-selected 201 1\nexpect-checked 225 0\nexpect-enabled 224 1\nexpect-enabled 7 0\ncancel\n"),
      ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_NE(report.find("box: Delete message: "), std::string::npos) << report;
  EXPECT_EQ(Param().MessageKind[2], 0);
  EXPECT_EQ(Param().Lcd.Messages[2].Position, 0);
  EXPECT_EQ(dx470::ShownMessageCount(Param()), 2);
}

TEST_F(MainDialog, MovesFollowTheMessageAndPassTheFocusAtTheEnd) {
  for (int slot : {0, 1, 2}) Define(slot);
  EXPECT_EQ(Run("expect-enabled 6 0\nclick 7\nexpect-selected 201 1\nexpect-text 221 \"1\"\nclick 7\n"
                "expect-selected 201 2\nexpect-enabled 7 0\nexpect-enabled 6 1\ncancel\n"),
            ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_EQ(dialog->GetFocus(), id::kMoveUp);
  EXPECT_EQ(Param().Lcd.Messages[0].Position, 3);
}

TEST_F(MainDialog, TheListHoldsTheFocusFirstAndTakesItBackFromADisabledBox) {
  Define(0);
  Define(1);
  EXPECT_EQ(Run("cancel\n"), ui::IDCANCEL);
  EXPECT_EQ(dialog->GetFocus(), id::kList);
  // Switching the first message off moves it behind the used one: its
  // check box, focused by the click, is no longer the current row's.
  EXPECT_EQ(Run("check 223 0\nexpect-selected 201 1\nexpect-enabled 223 0\ncancel\n"), ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_EQ(dialog->GetFocus(), id::kList);
}

TEST_F(MainDialog, ExpectItemsComparesTheRowsThreeTexts) {
  dx470::DefineMessage(Param(), 0, 2, 2, false,
                       "On\x01"
                       "\xE4");
  Define(1, 1, false);
  std::string script =
      "expect-items 201 \"On\\x01\\xE4\\tswitch On/Off\\tswitch On/Off\" "
      "\"Msg 1\\tstatic text\\tunused\"";
  for (int row = 2; row < 16; ++row) script += " \"\\t\\t\"";
  EXPECT_EQ(Run(script + "\ncancel\n"), ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
}

TEST_F(MainDialog, ClickingAnEmptySlotsRowLeavesEveryCheckBoxDisabled) {
  Define(0);
  std::string script = "expect-enabled 223 1\nmouse 201 down 10 60\nexpect-selected 201 3\n";
  for (int box = 223; box <= 238; ++box) script += "expect-enabled " + std::to_string(box) + " 0\n";
  script += "mouse 201 down 10 5\nexpect-enabled 223 1\nexpect-enabled 5 1\ncancel\n";
  EXPECT_EQ(Run(script), ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
}

TEST_F(MainDialog, NewOpensTheTypesDialogOnACopyThenTheSettingsDialog) {
  std::vector<int> edited;
  int offered = -1;
  bool accept = false;
  dialogs.messageTypes = [&](dx470::PARAM& copy, int slot) {
    offered = slot;
    dx470::DefineMessage(copy, slot, 2, 2, false, "New one");
    return accept ? ui::IDOK : ui::IDCANCEL;
  };
  dialogs.messageSettings = [&](dx470::PARAM& p, int slot, uint8_t receive) {
    edited.push_back(slot);
    EXPECT_EQ(receive, p.MessageKind[slot]);
    p.Lcd.Messages[slot].Text[0][0] = 'n';
    return ui::IDOK;
  };
  Define(0, 1, false);
  // A cancelled types dialog changes nothing.
  EXPECT_EQ(Run("click 3\nexpect-selected 201 0\ncancel\n"), ui::IDCANCEL);
  EXPECT_EQ(offered, 1);
  EXPECT_EQ(Param().MessageKind[1], 0);
  accept = true;
  // New, then double clicks: a defined row edits, an empty row asks for a new message.
  EXPECT_EQ(
      Run("click 3\nexpect-selected 201 0\nexpect-text 201 \"new one\\tswitch On/Off\\tswitch On/Off\"\n"
          "dblclick 201 1\ndblclick 201 5\nexpect-selected 201 1\nok\n"),
      ui::IDOK);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_EQ(edited, (std::vector<int>{1, 0, 2}));
  EXPECT_EQ(Param().MessageKind[2], 2);
  // OK brought the block information up to date.
  EXPECT_EQ(Param().Lcd.Block.MessageCount, 3);
}

TEST_F(MainDialog, WindowPositionComesFromTheProfileUnlessOffScreen) {
  win::Profile profile("Vornak", "DX47x");
  // The scripted runner's screen is 1280 x 1024; the window is the client
  // area (586 x 399) in a frame of 4 pixels with title and menu bars (43).
  const int width = 586 + 8, height = 399 + 23 + 20 + 4;
  const int centreX = (1280 - width) / 2, centreY = (1024 - height) / 2;
  struct Case {
    int x, y;
    bool kept;
  } cases[] = {{100, 50, true},   {1280 - width, 50, true}, {1000, 50, false},
               {100, 900, false}, {100, 1024 - 420, false},  // the client area fits, the frame does not
               {-5, 50, false},   {99999, 50, false}};
  for (const Case& c : cases) {
    profile.WriteProfileInt("Settings", "MainPositionX", c.x);
    profile.WriteProfileInt("Settings", "MainPositionY", c.y);
    Run("cancel\n");
    auto position = dialog->WindowPosition();
    ASSERT_TRUE(position.has_value());
    EXPECT_EQ(position->x, c.kept ? c.x : centreX) << c.x << "," << c.y;
    EXPECT_EQ(position->y, c.kept ? c.y : centreY) << c.x << "," << c.y;
    // Written when the window goes away, moved or not.
    EXPECT_EQ(profile.GetProfileInt("Settings", "MainPositionX", 0), position->x);
    EXPECT_EQ(profile.GetProfileInt("Settings", "MainPositionY", 0), position->y);
  }
  // Where the window was when it closed is kept for the next time, on OK too.
  dialogs.generalParameters = [&](dx470::PARAM&) {
    dialog->UserMoved(300, 200);
    return ui::IDOK;
  };
  Run("menu 32775\nok\n");
  EXPECT_EQ(profile.GetProfileInt("Settings", "MainPositionX", 0), 300);
  EXPECT_EQ(profile.GetProfileInt("Settings", "MainPositionY", 0), 200);
}

TEST_F(MainDialog, FontMenusEditACopyThatOkKeeps) {
  dialogs = editor::RegisteredDialogs();
  const int height = Param().Lcd.Fonts[1].Height;
  EXPECT_EQ(Run("menu 32778\nexpect-dialog 212\nexpect-title \"Edit font number 2\"\nselect 323 2\ncancel\n"
                "menu 32777\nexpect-title \"Edit font number 1\"\nselect 323 2\nok\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_EQ(Param().Lcd.Fonts[0].Height, 10);
  EXPECT_EQ(Param().Lcd.Fonts[1].Height, height);
}

TEST_F(MainDialog, HelpOpensContextHundred) {
  EXPECT_EQ(Run("click 9\nkey 201 F1\nmenu 57670\ncancel\n"), ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
  size_t first = report.find("#100\n");
  ASSERT_NE(first, std::string::npos) << report;
  EXPECT_NE(report.find("#100\n", report.find("#100\n", first + 1) + 1), std::string::npos) << report;
}

TEST(MainDialogTexts, SendTypeFollowsTheReceiveType) {
  using D = DX470MainDialog;
  EXPECT_EQ(D::SendTypeText(1, 0, false), "unused");
  EXPECT_EQ(D::SendTypeText(1, 12, false), "text (14 characters)");
  EXPECT_EQ(D::SendTypeText(1, 3, false), "");
  EXPECT_EQ(D::SendTypeText(4, 4, false), "");
  EXPECT_EQ(D::SendTypeText(5, 5, false), "");
  EXPECT_EQ(D::SendTypeText(9, 9, true), "signed counter 16 bit");
  EXPECT_EQ(D::SendTypeText(6, 7, false), "");
  EXPECT_EQ(D::ReceiveTypeText(10, true), "signed counter 32 bit");
  EXPECT_EQ(D::ReceiveTypeText(3, true), "value 8 bit");
  EXPECT_EQ(D::ReceiveTypeText(200, false), "unused");
}

}  // namespace
