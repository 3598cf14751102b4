#pragma once
// A sample dialog with every control kind, a menu, owner-drawn controls, a
// nested dialog, a Yes/No box, a timer and a field that can fail data
// exchange. Shared by the framework's and the Qt runner's tests.
#include <string>
#include <vector>

#include "ui/ddx.h"
#include "ui/dialog.h"
#include "ui/services.h"

namespace sample {

enum Id {
  kNested = 10,
  kDelete = 11,
  kAuto = 12,
  kManual = 13,
  kRadio1 = 14,
  kRadio2 = 15,
  kRadio3 = 16,
  kGroup = 17,
  kLabel = 18,
  kNumber = 19,
  kList = 20,
  kCombo = 21,
  kCounter = 22,
  kIcon = 23,
  kName = 24,
  kStatus = 25,
  kMenuOpen = 500,
  kMenuFont = 501,
  kMenuPrint = 502,
  kMenuAbout = 503,
  kMenuHelp = 57670,
  kSysAbout = 0x8010,
  kNestedEdit = 30,
};

ui::DialogTemplate SampleTemplate();
ui::DialogTemplate NestedTemplate();

// Counts what reaches an owner-drawn control and paints the count.
class Counter : public ui::OwnerDrawn {
 public:
  int downs = 0, moves = 0, ups = 0, doubles = 0, keys = 0, ticks = 0, focusGained = 0, focusLost = 0;
  int lastX = -1, lastY = -1;
  std::string typed;
  std::vector<std::string> keyLog;

  void Paint(gfx::Bitmap& target) override;
  void OnMouse(ui::MouseAction action, int x, int y, ui::KeyMods mods) override;
  void OnKey(ui::Key key, ui::KeyMods mods) override;
  void OnChar(uint32_t code) override;
  void OnFocus(bool gained) override;
  void OnTimer(int timerId) override;
  bool QueryText(std::string& text) const override {
    text = typed;
    return true;
  }
};

// Draws list items: a bar whose length grows with the index.
class ListPainter : public ui::OwnerDrawn {
 public:
  int mouseDowns = 0;
  void DrawItem(int index, bool selected, gfx::Bitmap& target) override;
  int MeasureItem(int) override { return 17; }
  void OnMouse(ui::MouseAction action, int, int, ui::KeyMods) override {
    if (action == ui::MouseAction::Down) ++mouseDowns;
  }
};

class NestedDialog : public ui::Dialog {
 public:
  NestedDialog() : Dialog(NestedTemplate()) {}
  std::string text;

 protected:
  void DoDataExchange(ui::DataExchange& dx) override { dx.Text(kNestedEdit, text); }
};

class SampleDialog : public ui::Dialog {
 public:
  SampleDialog() : Dialog(SampleTemplate()) {}

  // Members moved by data exchange.
  std::string name = "Bob";
  int32_t number = 7;
  int autoCheck = 0;
  int radio = 1;
  int comboIndex = -1;

  Counter counter;
  ListPainter painter;
  int ticks = 0;
  int notifies = 0;
  int focusAfterFailure = 0;
  int nestedResult = 0;
  std::string nestedText;
  std::vector<int> boxAnswers;
  bool printed = false;
  std::vector<std::string> printCalls;  // when printed without a toolkit

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnNotify(int id, int code, intptr_t param) override;
  void OnOK() override;
  void OnTimer(int timerId) override;
  void OnHelp() override;
  void DoDataExchange(ui::DataExchange& dx) override;

 private:
  void Status(const std::string& text) { SetDlgItemText(kStatus, text); }
};

}  // namespace sample
