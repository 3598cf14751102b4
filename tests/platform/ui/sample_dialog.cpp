#include "sample_dialog.h"

namespace sample {

using ui::ControlKind;

ui::DialogTemplate SampleTemplate() {
  ui::DialogTemplate t;
  t.id = 100;
  t.caption = "Sample???";
  t.cx = 240;
  t.cy = 170;
  t.controls = {
      {ui::IDOK, ControlKind::DefPushButton, "OK", {10, 150, 50, 14}, ui::kTabStop},
      {ui::IDCANCEL, ControlKind::PushButton, "Cancel", {70, 150, 50, 14}, ui::kTabStop},
      {kNested, ControlKind::PushButton, "&Nested", {130, 150, 50, 14}, ui::kTabStop},
      {kDelete, ControlKind::PushButton, "&Delete", {185, 150, 50, 14}, ui::kTabStop},
      {kName, ControlKind::Edit, "", {10, 10, 80, 12}, ui::kTabStop},
      {kNumber, ControlKind::Edit, "", {100, 10, 40, 12}, ui::kTabStop | ui::kNumber},
      {kAuto, ControlKind::AutoCheckBox, "Auto", {10, 28, 60, 10}, ui::kTabStop},
      {kManual, ControlKind::CheckBox, "Manual", {10, 40, 60, 10}, ui::kTabStop},
      {kGroup, ControlKind::GroupBox, "Choice", {80, 24, 70, 50}, 0},
      {kRadio1, ControlKind::RadioButton, "One", {86, 34, 50, 10}, ui::kTabStop | ui::kGroup},
      {kRadio2, ControlKind::RadioButton, "Two", {86, 46, 50, 10}, 0},
      {kRadio3, ControlKind::RadioButton, "Three", {86, 58, 50, 10}, 0},
      {kLabel, ControlKind::Static, "Label", {160, 10, 70, 8}, ui::kAlignRight | ui::kGroup},
      {kList,
       ControlKind::ListBox,
       "",
       {10, 80, 100, 60},
       ui::kTabStop | ui::kNotify | ui::kOwnerDrawVariable | ui::kVScroll | ui::kBorder},
      {kCombo, ControlKind::ComboBox, "", {160, 24, 70, 60}, ui::kTabStop},
      {kCounter, ControlKind::OwnerDraw, "", {120, 80, 60, 40}, ui::kTabStop},
      {kIcon, ControlKind::Icon, "", {200, 80, 20, 20}, 0},
      {kStatus, ControlKind::Static, "", {120, 126, 110, 8}, 0},
  };
  t.menu.id = 300;
  t.menu.popups = {
      {"&File???", {{kMenuOpen, "&Open..."}, {0, ""}, {kMenuFont, "&Font..."}, {kMenuPrint, "&Print..."}}},
      {"&Help???", {{kMenuHelp, "Help"}, {kMenuAbout, "&About"}}},
  };
  return t;
}

ui::DialogTemplate NestedTemplate() {
  ui::DialogTemplate t;
  t.id = 101;
  t.caption = "Nested";
  t.cx = 120;
  t.cy = 60;
  t.controls = {
      {ui::IDOK, ControlKind::DefPushButton, "OK", {10, 40, 45, 14}, ui::kTabStop},
      {ui::IDCANCEL, ControlKind::PushButton, "Cancel", {65, 40, 45, 14}, ui::kTabStop},
      {kNestedEdit, ControlKind::Edit, "", {10, 10, 100, 12}, ui::kTabStop},
  };
  return t;
}

void Counter::Paint(gfx::Bitmap& target) {
  target.FillRect({0, 0, target.width(), target.height()}, gfx::Rgb(0, 0, 160));
  // One yellow column per typed character, a red square at the last click.
  for (size_t i = 0; i < typed.size(); ++i)
    target.FillRect({int(2 + 4 * i), 2, int(5 + 4 * i), 10}, gfx::Rgb(255, 255, 0));
  if (lastX >= 0) target.FillRect({lastX - 3, lastY - 3, lastX + 4, lastY + 4}, gfx::Rgb(255, 0, 0));
}

void Counter::OnMouse(ui::MouseAction action, int x, int y, ui::KeyMods) {
  switch (action) {
    case ui::MouseAction::Down: ++downs; break;
    case ui::MouseAction::Move: ++moves; break;
    case ui::MouseAction::Up: ++ups; break;
    case ui::MouseAction::DoubleClick: ++doubles; break;
  }
  lastX = x;
  lastY = y;
  Invalidate();
}

void Counter::OnKey(ui::Key key, ui::KeyMods mods) {
  ++keys;
  std::string entry = std::to_string(int(key));
  if (mods.shift) entry += "s";
  if (mods.ctrl) entry += "c";
  keyLog.push_back(entry);
  if (key == ui::Key::Back && !typed.empty()) typed.pop_back();
  Invalidate();
}

void Counter::OnChar(uint32_t code) {
  if (code < 0x80) typed += char(code);
  PostNotify(1, intptr_t(typed.size()));
  Invalidate();
}

void Counter::OnFocus(bool gained) {
  if (gained) {
    ++focusGained;
    SetTimer(7, 500);
  } else {
    ++focusLost;
    KillTimer(7);
  }
}

void Counter::OnTimer(int) { ++ticks; }

void ListPainter::DrawItem(int index, bool selected, gfx::Bitmap& target) {
  target.FillRect({0, 0, target.width(), target.height()}, selected ? gfx::Rgb(0, 0, 128) : gfx::kWhite);
  target.FillRect({2, 4, 2 + 10 * (index + 1), 12}, gfx::Rgb(0, 160, 0));
}

bool SampleDialog::OnInitDialog() {
  SetWindowText("Sample dialog");
  SetMenuPopupText("&File???", "&File");
  SetMenuPopupText("&Help???", "&Help");
  AddSystemMenuItem(kSysAbout, "&About");
  Attach(kCounter, counter);
  Attach(kList, painter);
  for (const char* item : {"alpha", "beta", "gamma"}) AddString(kList, item);
  int i = 0;
  for (const char* item : {"one", "two", "three"}) {
    int at = AddString(kCombo, item);
    SetItemData(kCombo, at, ++i * 10);
  }
  comboIndex = FindItemData(kCombo, 20);
  SetTimer(1, 100);
  UpdateData(false);
  return true;
}

void SampleDialog::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(kName, name);
  if (dx.Saving() && name.empty()) {
    ui::MessageBoxSpec box{"Error", "Name missing", ui::Buttons::Ok, ui::Icon::Stop, 0, true};
    Services().MessageBox(box);
    dx.Fail(kName);
  }
  dx.Int(kNumber, number);
  dx.Check(kAuto, autoCheck);
  dx.Radio(kRadio1, radio);
  dx.ComboIndex(kCombo, comboIndex);
}

void SampleDialog::OnOK() {
  if (!UpdateData(true)) {
    focusAfterFailure = GetFocus();
    return;
  }
  EndDialog(ui::IDOK);
}

void SampleDialog::OnCommand(int id, int code) {
  switch (id) {
    case kNested: {
      NestedDialog nested;
      nestedResult = nested.DoModal(Services());
      nestedText = nested.text;
      Status("nested " + std::to_string(nestedResult));
      return;
    }
    case kDelete: {
      ui::MessageBoxSpec box{"Delete",           "Really delete?", ui::Buttons::YesNo,
                             ui::Icon::Question, ui::IDNO,         true};
      int answer = Services().MessageBox(box);
      boxAnswers.push_back(answer);
      Status(answer == ui::IDYES ? "deleted" : "kept");
      return;
    }
    case kManual: SetCheck(kManual, !GetCheck(kManual)); return;
    case kList:
      if (code == ui::LBN_SELCHANGE) Status("sel " + std::to_string(GetCurSel(kList)));
      if (code == ui::LBN_DBLCLK) Status("dbl " + std::to_string(GetCurSel(kList)));
      return;
    case kCombo:
      if (code == ui::CBN_SELCHANGE) Status("data " + std::to_string(GetItemData(kCombo, GetCurSel(kCombo))));
      return;
    case kMenuOpen: {
      ui::FileDialogSpec desc;
      desc.title = "Open sample";
      desc.filter = "Samples (*.smp)|*.smp|All Files (*.*)|*.*||";
      desc.defaultExtension = "smp";
      desc.flags = ui::kFileMustExist | ui::kHideReadOnly;
      auto path = Services().FileDialog(desc);
      Status(path ? "open " + *path : "open cancelled");
      return;
    }
    case kMenuFont: {
      auto font = Services().FontDialog();
      Status(font ? "font " + font->face + " " + std::to_string(font->pointSize) +
                        (font->italic ? " italic" : "")
                  : "font cancelled");
      return;
    }
    case kMenuPrint: {
      auto printer = Services().PrintDialog();
      if (!printer) {
        Status("print cancelled");
        return;
      }
      int k = printer->Dpi() / 300;
      printer->StartDocument("Print-Doc");
      printer->StartPage();
      printer->SelectFont({"Arial", -32 * k, 400, false});
      printer->TextOut(200 * k, 50 * k, "Sample page");
      printer->Line(200 * k, 100 * k, printer->PageWidth() - 200 * k, 100 * k);
      printer->EndPage();
      printed = printer->EndDocument() == S_OK;
      if (auto* recorder = dynamic_cast<ui::RecordingPrintDevice*>(printer.get()))
        printCalls = recorder->Calls();
      Status("print " + std::to_string(printer->Dpi()) + " " + printer->Setup().outputPath);
      return;
    }
    case kMenuAbout:
    case kSysAbout:
      Services().OpenUrl("https://example.invalid/sample");
      Status("about");
      return;
    case kMenuHelp: OnHelp(); return;
    default: Dialog::OnCommand(id, code);
  }
}

void SampleDialog::OnNotify(int id, int code, intptr_t param) {
  if (id == kCounter && code == 1) {
    ++notifies;
    Status("typed " + std::to_string(param));
  }
}

void SampleDialog::OnTimer(int timerId) {
  if (timerId == 1) ++ticks;
}

void SampleDialog::OnHelp() { Services().ShowHelp("sample.hlp", 100); }

}  // namespace sample
