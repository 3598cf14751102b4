// The dialog model without a runner.
#include <gtest/gtest.h>

#include "sample_dialog.h"

namespace {

using sample::SampleDialog;

// Records what a view would hear.
struct Recorder : ui::DialogObserver {
  std::vector<std::string> events;
  void ControlChanged(int id) override { events.push_back("changed " + std::to_string(id)); }
  void Repaint(int id) override { events.push_back("repaint " + std::to_string(id)); }
  void DialogChanged() override { events.push_back("dialog"); }
  void FocusChanged(int id) override { events.push_back("focus " + std::to_string(id)); }
  void TimerChanged(int c, int t, int ms) override {
    events.push_back("timer " + std::to_string(c) + "/" + std::to_string(t) + " " + std::to_string(ms));
  }
  void Ended(int result) override { events.push_back("ended " + std::to_string(result)); }
};

TEST(UiDialog, GeometryFromDialogUnitsOrPixels) {
  SampleDialog d;  // not running: the default units of the 8-point font
  EXPECT_EQ(d.Units().x, 6);
  EXPECT_EQ(d.Units().y, 13);
  gfx::Rect r = d.ControlRect(sample::kCounter);  // 120,80 60x40 DLU
  EXPECT_EQ(r.left, 180);
  EXPECT_EQ(r.top, 130);
  EXPECT_EQ(r.width(), 90);
  EXPECT_EQ(r.height(), 65);
  EXPECT_EQ(d.ClientWidth(), 360);
  d.MoveControl(sample::kCounter, {3, 4, 50, 60});
  EXPECT_EQ(d.ControlRect(sample::kCounter).left, 3);
  EXPECT_EQ(d.PaintControl(sample::kCounter).width(), 47);
  EXPECT_EQ(ui::DesignBaseUnits(10).x, 8);
}

TEST(UiDialog, OwnerDrawnObjectsAndDialogsMayEndInEitherOrder) {
  sample::Counter outlives;
  {
    SampleDialog d;
    d.Attach(sample::kCounter, outlives);
    outlives.OnMouse(ui::MouseAction::Down, 1, 1, {});  // repaints through the dialog
    EXPECT_EQ(outlives.Owner(), &d);
  }
  EXPECT_EQ(outlives.Owner(), nullptr);
  outlives.OnMouse(ui::MouseAction::Down, 2, 2, {});  // no dialog any more: nothing to repaint

  SampleDialog d;
  {
    sample::Counter shortLived;
    d.Attach(sample::kCounter, shortLived);
  }
  EXPECT_EQ(d.OwnerOf(sample::kCounter), nullptr);
  EXPECT_EQ(d.PaintControl(sample::kCounter).Get(0, 0), gfx::kWhite);
}

TEST(UiDialog, ClientSizeAndCursorCanBeSetAtRunTime) {
  SampleDialog d;
  d.SetClientSize(377, 211);
  EXPECT_EQ(d.ClientWidth(), 377);
  EXPECT_EQ(d.ClientHeight(), 211);
  d.SetControlCursor(sample::kCounter, ui::CursorShape::SizeWE);
  EXPECT_EQ(d.Control(sample::kCounter)->cursor, ui::CursorShape::SizeWE);
}

TEST(UiDialog, RadioGroupsEndAtTheNextGroupStyle) {
  SampleDialog d;
  EXPECT_EQ(d.RadioGroup(sample::kRadio2), (std::vector<int>{14, 15, 16}));
  EXPECT_TRUE(d.RadioGroup(sample::kLabel).empty());
  d.CheckRadioButton(14, 16, 16);
  EXPECT_EQ(d.GetCheckedRadioButton(14, 16), 16);
  d.UserClick(sample::kRadio1);  // not running, but the model still works
  EXPECT_EQ(d.GetCheckedRadioButton(14, 16), 14);
  EXPECT_EQ(d.GetCheck(16), 0);
}

TEST(UiDialog, ListsKeepSelectionDataAndHeights) {
  SampleDialog d;
  for (const char* s : {"a", "b", "c"}) d.AddString(sample::kList, s);
  d.SetCurSel(sample::kList, 1);
  d.InsertString(sample::kList, 0, "first");
  EXPECT_EQ(d.GetCurSel(sample::kList), 2);  // the selected item moved down
  d.DeleteString(sample::kList, 2);
  EXPECT_EQ(d.GetCurSel(sample::kList), -1);
  d.SetCurSel(sample::kList, 7);
  EXPECT_EQ(d.GetCurSel(sample::kList), -1);
  d.SetItemData(sample::kList, 1, 42);
  EXPECT_EQ(d.FindItemData(sample::kList, 42), 1);
  EXPECT_EQ(d.FindItemData(sample::kList, 43), -1);
  d.SetItemHeight(sample::kList, -1, 10);
  d.SetItemHeight(sample::kList, 1, 30);
  EXPECT_EQ(d.ItemAt(sample::kList, 9), 0);
  EXPECT_EQ(d.ItemAt(sample::kList, 10), 1);
  EXPECT_EQ(d.ItemAt(sample::kList, 39), 1);
  EXPECT_EQ(d.ItemAt(sample::kList, 40), 2);
  EXPECT_EQ(d.ItemAt(sample::kList, 50), -1);
  EXPECT_EQ(d.AddString(sample::kLabel, "x"), -1);  // not a list
  EXPECT_EQ(d.GetItemText(99, 0), "");
}

TEST(UiDialog, MenusAreRetitledByResourceTextAndId) {
  SampleDialog d;
  EXPECT_TRUE(d.SetMenuPopupText("&File???", "&Datei"));
  EXPECT_FALSE(d.SetMenuPopupText("&Datei", "x"));  // found by the resource text only
  EXPECT_TRUE(d.SetMenuPopupText("&File???", "&File"));
  EXPECT_EQ(d.Menu().popups[0].text, "&File");
  EXPECT_TRUE(d.SetMenuItemText(sample::kMenuOpen, "&Oeffnen"));
  EXPECT_FALSE(d.SetMenuItemText(0, "separator"));
  d.EnableMenuItem(sample::kMenuOpen, false);
  EXPECT_FALSE(d.IsMenuItemEnabled(sample::kMenuOpen));
  EXPECT_FALSE(d.IsMenuItemEnabled(12345));
}

TEST(UiDialog, FocusChangeAndPostedNotifications) {
  SampleDialog d;
  Recorder rec;
  d.AddObserver(&rec);
  d.Attach(sample::kCounter, d.counter);
  d.UserFocus(sample::kCounter);
  EXPECT_EQ(d.counter.focusGained, 1);
  d.UserChar(sample::kCounter, 'a');
  EXPECT_EQ(d.notifies, 1);  // delivered once the input was handled
  d.UserMouse(sample::kName, ui::MouseAction::Down, 1, 1, {});
  EXPECT_EQ(d.GetFocus(), sample::kName);
  EXPECT_EQ(d.counter.focusLost, 1);
  d.RemoveObserver(&rec);
  auto has = [&](const std::string& e) {
    return std::find(rec.events.begin(), rec.events.end(), e) != rec.events.end();
  };
  EXPECT_TRUE(has("focus 22"));
  EXPECT_TRUE(has("timer 22/7 500"));
  EXPECT_TRUE(has("timer 22/7 0"));
  EXPECT_TRUE(has("repaint 22"));
}

TEST(UiDialog, HeadlessServicesCancelAndTakeDefaults) {
  SampleDialog d;
  EXPECT_EQ(d.DoModal(), ui::IDCANCEL);
  ui::MessageBoxSpec box{"c", "t", ui::Buttons::YesNo, ui::Icon::Question, ui::IDNO, false};
  EXPECT_EQ(ui::Services().MessageBox(box), ui::IDNO);
  box.defaultButton = ui::IDOK;  // not offered: the first button
  EXPECT_EQ(ui::Services().MessageBox(box), ui::IDYES);
  EXPECT_EQ(ui::OpenModalCount(), 0);
}

}  // namespace
