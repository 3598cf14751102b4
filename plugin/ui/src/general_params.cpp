// The general parameters dialog: the time lists with their values as item
// data, loading from and storing into ALLGEMEINE, and the backlight rule.
#include "editor/general_params.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/ddx.h"
#include "ui/services.h"

namespace editor {

uint8_t EncodeTime(int32_t tenths) {
  if (tenths < 0 || tenths >= kTimeForever) return 255;
  if (tenths >= 600) return uint8_t(67 + (tenths - 600) / 300);
  if (tenths >= 300) return uint8_t(64 + (tenths - 300) / 100);
  if (tenths >= 285) return 57;
  return uint8_t(tenths / 5);
}

int32_t DecodeTime(uint8_t code) {
  if (code == 255) return kTimeForever;
  if (code >= 67) return (int32_t(code) - 65) * 300;
  if (code >= 64) return (int32_t(code) - 61) * 100;
  return int32_t(code) * 5;
}

namespace {

using D = CGeneralParamDialog;
using namespace general;

// Item data of the items that carry no time.
constexpr intptr_t kNoTime = -1;
// Index of "Continuously" in the alarm beep list; Yes/No and the switch modes.
constexpr int kContinuously = 5, kYes = 0, kNo = 1, kOffOn = 0, kToggle = 1;
// Power-on time offered when the backlight is always on or off.
constexpr int32_t kDefaultPowerOn = 600;

// A time item: its value, shown in seconds or in minutes.
struct TimeItem {
  int32_t tenths;
  bool minutes = false;
};

std::vector<TimeItem> Seconds(std::initializer_list<int32_t> tenths) {
  std::vector<TimeItem> items;
  for (int32_t t : tenths) items.push_back({t, false});
  return items;
}

std::vector<TimeItem> Append(std::vector<TimeItem> items, std::initializer_list<int32_t> minutes) {
  for (int32_t t : minutes) items.push_back({t, true});
  return items;
}

// "1", "1.5", "10" seconds; whole minutes.
std::string NumberText(const TimeItem& item) {
  if (item.minutes) return std::to_string(item.tenths / 600);
  std::string text = std::to_string(item.tenths / 10);
  if (item.tenths % 10 != 0) text += "." + std::to_string(item.tenths % 10);
  return text;
}

std::string ItemText(const TimeItem& item) {
  return NumberText(item) + " " + Translate(item.minutes ? "min" : "sec");
}

const std::vector<TimeItem>& BeepIntervals() {
  static const auto items = Seconds({10, 15, 20, 25, 30});
  return items;
}

const std::vector<TimeItem>& PowerOnTimes() {
  static const auto items = Append(Seconds({100, 150, 200, 250, 300, 600}), {1200, 3000, 6000, 18000, 36000});
  return items;
}

// The plain time lists, by control.
const std::vector<std::pair<int, std::vector<TimeItem>>>& TimeLists() {
  static const std::vector<std::pair<int, std::vector<TimeItem>>> lists = {
      {D::kFlashCombo, BeepIntervals()},
      {D::kDurationCombo, PowerOnTimes()},
      {D::kPowerOnCombo, PowerOnTimes()},
      {D::kScrollStartCombo, Append(Seconds({50, 100, 150, 200, 300}), {600, 1200, 3000})},
      {D::kScrollIntervalCombo, Seconds({10, 20, 30, 40, 50, 60, 70, 80, 90, 100})},
      {D::kResetDelayCombo, Seconds({0, 50, 100, 150, 200, 250, 300, 600})},
      {D::kRequestDelayCombo, Seconds({0, 5, 10, 15, 20, 25, 30, 35})},
      {D::kPollCombo, Seconds({20, 50, 100, 150, 200, 250, 300, 600})},
  };
  return lists;
}

// The lists that hold a plain time field of ALLGEMEINE.
constexpr struct {
  int combo;
  int byte;
} kTimeFields[] = {
    {D::kFlashCombo, kFlashInterval},
    {D::kDurationCombo, kBeepDuration},
    {D::kResetDelayCombo, kResetDelay},
    {D::kRequestDelayCombo, kRequestDelay},
    {D::kPollCombo, kPollInterval},
    {D::kScrollStartCombo, kScrollStart},
    {D::kScrollIntervalCombo, kScrollInterval},
};

struct Text {
  int id;
  const char* key;
};

// Labels of the lists, in table order.
constexpr Text kLabels[] = {
    {238, "Flash interval time:"}, {239, "Alarm repetition:"},          {240, "Alarm beep:"},
    {266, "Alarm beep duration:"}, {D::kPowerOnLabel, "Power on time"}, {242, "Key beep:"},
    {243, "Switch mode:"},         {244, "Start scrolling after:"},     {245, "Scroll interval:"},
    {246, "Delay after reset"},    {247, "Between requests:"},          {248, "Polling interval:"},
};

constexpr Text kTexts[] = {
    {ui::IDOK, "OK"},
    {ui::IDCANCEL, "Cancel"},
    {D::kHelp, "Help"},
    {D::kGroupAddr, "General Group addr."},
    {D::kAlarmGroup, "Alarm"},
    {D::kBacklightGroup, "Backlight"},
    {D::kKeysGroup, "Keys"},
    {D::kScrollGroup, "Scroll timing"},
    {D::kTimingGroup, "Actualisation timing"},
    {D::kAlwaysOn, "Always on"},
    {D::kAlwaysOff, "Always off"},
    {D::kOnKeyPressed, "On key pressed"},
    {D::kKeysOnlyLit, "Execute key press only "},
    {D::kKeysOnlyLitLine2, "when backlight is on"},
};

// Template geometry in dialog units: two columns of group boxes.
constexpr int kLeft = 7, kRight = 193, kGroupWidth = 180, kLabelX = 7, kLabelWidth = 92, kComboX = 101,
              kComboWidth = 72, kRowPitch = 16;

void AddRow(ui::DialogTemplate& t, int group, int row, int groupTop, int label, int combo, const char* key) {
  using ui::ControlKind;
  const int y = groupTop + 12 + row * kRowPitch;
  t.controls.push_back(
      {label, ControlKind::Static, std::string(key) + "???", {group + kLabelX, y + 3, kLabelWidth, 8}, 0});
  t.controls.push_back({combo,
                        ControlKind::ComboBox,
                        "",
                        {group + kComboX, y, kComboWidth, 110},
                        ui::kTabStop | ui::kVScroll});
}

void AddGroup(ui::DialogTemplate& t, int id, const char* key, int x, int y, int cx, int cy) {
  t.controls.push_back({id, ui::ControlKind::GroupBox, std::string(key) + "???", {x, y, cx, cy}, 0});
}

}  // namespace

CGeneralParamDialog::CGeneralParamDialog(dx470::PARAM& param) : Dialog(MakeTemplate()), m_pParam(&param) {
  m_anSelection.fill(-1);
}

ui::DialogTemplate CGeneralParamDialog::MakeTemplate() {
  using ui::ControlKind;
  ui::DialogTemplate t;
  t.id = id::kGeneralParamTemplate;
  t.caption = "General Parameters???";
  t.cx = 380;
  t.cy = 226;
  constexpr int kTop = 7, kKeysTop = 94, kTimingTop = 149, kButtonsTop = 205;
  AddGroup(t, kAlarmGroup, "Alarm", kLeft, kTop, kGroupWidth, 81);
  AddRow(t, kLeft, 0, kTop, 238, kFlashCombo, "Flash interval time:");
  AddRow(t, kLeft, 1, kTop, 239, kRepeatCombo, "Alarm repetition:");
  AddRow(t, kLeft, 2, kTop, 240, kBeepCombo, "Alarm beep:");
  AddRow(t, kLeft, 3, kTop, 266, kDurationCombo, "Alarm beep duration:");

  AddGroup(t, kBacklightGroup, "Backlight", kRight, kTop, kGroupWidth, 81);
  const char* radios[] = {"Always on???", "Always off???", "On key pressed???"};
  for (int i = 0; i < 3; ++i)
    t.controls.push_back({kAlwaysOn + i,
                          ControlKind::RadioButton,
                          radios[i],
                          {kRight + kLabelX, kTop + 12 + 10 * i, 120, 10},
                          i == 0 ? ui::kTabStop | ui::kGroup : 0u});
  AddRow(t, kRight, 2, kTop, kPowerOnLabel, kPowerOnCombo, "Power on time");
  t.controls.push_back({kKeysOnlyLit,
                        ControlKind::AutoCheckBox,
                        "Execute key press only ???",
                        {kRight + kLabelX, kTop + 61, 166, 10},
                        ui::kTabStop | ui::kGroup});
  t.controls.push_back({kKeysOnlyLitLine2,
                        ControlKind::Static,
                        "when backlight is on???",
                        {kRight + kLabelX + 12, kTop + 71, 154, 8},
                        0});

  AddGroup(t, kKeysGroup, "Keys", kLeft, kKeysTop, kGroupWidth, 49);
  AddRow(t, kLeft, 0, kKeysTop, 242, kKeyBeepCombo, "Key beep:");
  AddRow(t, kLeft, 1, kKeysTop, 243, kSwitchModeCombo, "Switch mode:");

  AddGroup(t, kScrollGroup, "Scroll timing", kRight, kKeysTop, kGroupWidth, 49);
  AddRow(t, kRight, 0, kKeysTop, 244, kScrollStartCombo, "Start scrolling after:");
  AddRow(t, kRight, 1, kKeysTop, 245, kScrollIntervalCombo, "Scroll interval:");

  AddGroup(t, kTimingGroup, "Actualisation timing", kLeft, kTimingTop, kRight + kGroupWidth - kLeft, 49);
  AddRow(t, kLeft, 0, kTimingTop, 246, kResetDelayCombo, "Delay after reset");
  AddRow(t, kRight, 0, kTimingTop, 247, kRequestDelayCombo, "Between requests:");
  AddRow(t, kLeft, 1, kTimingTop, 248, kPollCombo, "Polling interval:");

  t.controls.push_back({kGroupAddr,
                        ControlKind::PushButton,
                        "General Group addr.???",
                        {kLeft, kButtonsTop, 90, 14},
                        ui::kTabStop | ui::kGroup});
  t.controls.push_back(
      {ui::IDOK, ControlKind::DefPushButton, "OK???", {211, kButtonsTop, 50, 14}, ui::kTabStop});
  t.controls.push_back(
      {ui::IDCANCEL, ControlKind::PushButton, "Cancel???", {267, kButtonsTop, 50, 14}, ui::kTabStop});
  t.controls.push_back({kHelp, ControlKind::PushButton, "Help???", {323, kButtonsTop, 50, 14}, ui::kTabStop});
  return t;
}

int& CGeneralParamDialog::Selection(int combo) { return m_anSelection[size_t(combo - kFlashCombo)]; }
int CGeneralParamDialog::Selection(int combo) const { return m_anSelection[size_t(combo - kFlashCombo)]; }

bool CGeneralParamDialog::OnInitDialog() {
  CenterWindow();
  TranslateTexts();
  // Group addresses are not edited here: the button has nothing to do.
  EnableControl(kGroupAddr, false);
  FillLists();
  LoadFromParam();
  UpdateData(false);
  ApplyBacklightRule();
  return true;
}

void CGeneralParamDialog::TranslateTexts() {
  SetWindowText(Translate("General Parameters"));
  for (const Text& t : kTexts) SetDlgItemText(t.id, Translate(t.key));
  for (const Text& t : kLabels) SetDlgItemText(t.id, Translate(t.key));
}

void CGeneralParamDialog::FillLists() {
  for (int combo = kFlashCombo; combo <= kPowerOnCombo; ++combo) ResetContent(combo);
  for (const auto& [combo, items] : TimeLists())
    for (const TimeItem& item : items) SetItemData(combo, AddString(combo, ItemText(item)), item.tenths);
  SetItemData(kDurationCombo, AddString(kDurationCombo, Translate("Forever")), kTimeForever);
  const std::string interval = Translate("Interval") + " ";
  for (const TimeItem& item : BeepIntervals())
    SetItemData(kBeepCombo, AddString(kBeepCombo, interval + ItemText(item)), item.tenths);
  SetItemData(kBeepCombo, AddString(kBeepCombo, Translate("Continuously")), kNoTime);
  for (int combo : {kRepeatCombo, kKeyBeepCombo}) {
    SetItemData(combo, AddString(combo, Translate("Yes")), kNoTime);
    SetItemData(combo, AddString(combo, Translate("No")), kNoTime);
  }
  SetItemData(kSwitchModeCombo, AddString(kSwitchModeCombo, Translate("Off/On")), kNoTime);
  SetItemData(kSwitchModeCombo, AddString(kSwitchModeCombo, Translate("Toggle/Toggle")), kNoTime);
}

void CGeneralParamDialog::SelectValue(int combo, int32_t tenths) {
  Selection(combo) = FindItemData(combo, tenths);
}

void CGeneralParamDialog::LoadFromParam() {
  const uint8_t* bytes = m_pParam->Lcd.General.Bytes;
  for (const auto& field : kTimeFields) SelectValue(field.combo, DecodeTime(bytes[field.byte]));
  const uint8_t flags = bytes[kFlags];
  Selection(kRepeatCombo) = flags & kFlagRepeatAlarm ? kYes : kNo;
  SelectValue(kBeepCombo, DecodeTime(bytes[kBeepInterval]));
  if (flags & kFlagBeepContinuous) Selection(kBeepCombo) = kContinuously;
  Selection(kSwitchModeCombo) = flags & kFlagToggle ? kToggle : kOffOn;
  Selection(kKeyBeepCombo) = flags & kFlagKeyBeep ? kYes : kNo;
  m_nKeysOnlyLit = flags & kFlagKeysAnyTime ? ui::BST_UNCHECKED : ui::BST_CHECKED;
  const int32_t backlight = DecodeTime(bytes[kBacklight]);
  m_nBacklight = backlight == kTimeForever ? kBacklightAlwaysOn
                 : backlight == 0          ? kBacklightAlwaysOff
                                           : kBacklightOnKey;
  // Always on or off: the list still offers a time for "On key pressed".
  SelectValue(kPowerOnCombo, m_nBacklight == kBacklightOnKey ? backlight : kDefaultPowerOn);
}

void CGeneralParamDialog::DoDataExchange(ui::DataExchange& dx) {
  for (int combo = kFlashCombo; combo <= kPowerOnCombo; ++combo) dx.ComboIndex(combo, Selection(combo));
  dx.Radio(kAlwaysOn, m_nBacklight);
  dx.Check(kKeysOnlyLit, m_nKeysOnlyLit);
}

void CGeneralParamDialog::ApplyBacklightRule() {
  UpdateData(true);
  const bool onKey = m_nBacklight == kBacklightOnKey;
  for (int id : {kPowerOnCombo, kPowerOnLabel, kKeysOnlyLit, kKeysOnlyLitLine2}) EnableControl(id, onKey);
}

void CGeneralParamDialog::StoreTime(int combo, uint8_t& byte) const {
  const int index = Selection(combo);
  if (index < 0) return;
  const intptr_t tenths = GetItemData(combo, index);
  if (tenths != kNoTime) byte = EncodeTime(int32_t(tenths));
}

void CGeneralParamDialog::StoreToParam() {
  uint8_t* bytes = m_pParam->Lcd.General.Bytes;
  for (const auto& field : kTimeFields) StoreTime(field.combo, bytes[field.byte]);
  uint8_t flags = 0;  // bits 5..7 are cleared
  if (Selection(kRepeatCombo) == kYes) flags |= kFlagRepeatAlarm;
  if (Selection(kBeepCombo) == kContinuously)
    flags |= kFlagBeepContinuous;
  else
    StoreTime(kBeepCombo, bytes[kBeepInterval]);
  if (Selection(kSwitchModeCombo) == kToggle) flags |= kFlagToggle;
  if (Selection(kKeyBeepCombo) == kYes) flags |= kFlagKeyBeep;
  if (m_nKeysOnlyLit != ui::BST_CHECKED) flags |= kFlagKeysAnyTime;
  bytes[kFlags] = flags;
  if (m_nBacklight == kBacklightAlwaysOn)
    bytes[kBacklight] = EncodeTime(kTimeForever);
  else if (m_nBacklight == kBacklightAlwaysOff)
    bytes[kBacklight] = EncodeTime(0);
  else
    StoreTime(kPowerOnCombo, bytes[kBacklight]);
}

void CGeneralParamDialog::OnCommand(int id, int code) {
  const bool radio = id == kAlwaysOn || id == kAlwaysOff || id == kOnKeyPressed;
  if ((radio && code == ui::BN_CLICKED) || (id == kPowerOnCombo && code == ui::CBN_SELCHANGE)) {
    ApplyBacklightRule();
    return;
  }
  if (id == kHelp && code == ui::BN_CLICKED) {
    OnHelp();
    return;
  }
  if (id == kGroupAddr) return;
  Dialog::OnCommand(id, code);
}

void CGeneralParamDialog::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(ui::IDOK);
  StoreToParam();
}

void CGeneralParamDialog::OnHelp() {
  Services().ShowHelp(PluginApp().HelpFilePath(), id::kGeneralParamHelpContext);
}

int RunGeneralParamDialog(dx470::PARAM& param) {
  CGeneralParamDialog dialog(param);
  return dialog.DoModal();
}

}  // namespace editor
