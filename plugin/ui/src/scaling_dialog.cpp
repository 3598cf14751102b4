// "Modify display values": the scaling of object values to display values
// and the floating point presentation of a numeric message.
#include <cmath>

#include "data/msgtypes.h"
#include "editor/scaling_dialog.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/services.h"

namespace editor {
namespace {

using ui::ControlKind;
using D = ScalingDialog;
constexpr uint32_t kTab = ui::kTabStop;
constexpr double kFloatMax = 3.4028235e38;
constexpr int kMultiplierNone = 3;  // index of "none"; the stored exponent is index - 3

// Offsets of the four values in the format bytes.
constexpr size_t kUpperObjectAt = 4, kLowerObjectAt = 8, kUpperDisplayAt = 12, kLowerDisplayAt = 16;
constexpr size_t kExponentAt = 0, kIntegerAt = 1, kDecimalAt = 2, kFlagsAt = 3, kBlockAt = 4;

ui::DialogTemplate ScalingTemplate() {
  ui::DialogTemplate t;
  t.id = id::kScalingTemplate;
  t.caption = "Modify display values???";
  t.cx = 300;
  t.cy = 152;
  t.controls = {
      {D::kScalingGroup, ControlKind::GroupBox, "Scaling???", {7, 7, 286, 50}, 0},
      {D::kLowerObjectLabel, ControlKind::Static, "Lower obj. value:???", {14, 22, 84, 8}, 0},
      {D::kLowerObject, ControlKind::Edit, "", {100, 20, 56, 12}, kTab},
      {D::kLowerDisplayLabel, ControlKind::Static, "Display value:???", {164, 22, 62, 8}, 0},
      {D::kLowerDisplay, ControlKind::Edit, "", {228, 20, 56, 12}, kTab},
      {D::kUpperObjectLabel, ControlKind::Static, "Upper obj. value:???", {14, 38, 84, 8}, 0},
      {D::kUpperObject, ControlKind::Edit, "", {100, 36, 56, 12}, kTab},
      {D::kUpperDisplayLabel, ControlKind::Static, "Display value:???", {164, 38, 62, 8}, 0},
      {D::kUpperDisplay, ControlKind::Edit, "", {228, 36, 56, 12}, kTab},
      {D::kPresentationGroup, ControlKind::GroupBox, "Floating point presentation???", {7, 62, 286, 62}, 0},
      {D::kMultiplierLabel, ControlKind::Static, "Multiply/divide value by:???", {14, 77, 110, 8}, 0},
      {D::kMultiplier, ControlKind::ComboBox, "", {128, 75, 60, 100}, kTab},
      {D::kIntegerLabel, ControlKind::Static, "Integer digits:???", {14, 93, 110, 8}, 0},
      {D::kInteger, ControlKind::ComboBox, "", {128, 91, 60, 100}, kTab},
      {D::kDecimalLabel, ControlKind::Static, "Decimal digits:???", {14, 109, 110, 8}, 0},
      {D::kDecimal, ControlKind::ComboBox, "", {128, 107, 60, 60}, kTab},
      {D::kSetDefaults, ControlKind::PushButton, "Set defaults???", {7, 131, 64, 14}, kTab},
      {ui::IDOK, ControlKind::DefPushButton, "OK???", {102, 131, 60, 14}, kTab},
      {ui::IDCANCEL, ControlKind::PushButton, "Cancel???", {168, 131, 60, 14}, kTab},
      {D::kHelp, ControlKind::PushButton, "Help???", {234, 131, 60, 14}, kTab},
  };
  return t;
}

}  // namespace

ScalingDialog::ScalingDialog(uint8_t receiveType, bool signedValues, ValueBytes& bytes)
    : Dialog(ScalingTemplate()),
      m_receiveType(receiveType),
      m_bSigned(signedValues),
      m_target(bytes),
      m_bytes(bytes),
      m_lowerObject(kLowerObject, receiveType, signedValues),
      m_upperObject(kUpperObject, receiveType, signedValues),
      m_lowerDisplay(kLowerDisplay, dx470::kTypeFloat32, signedValues),
      m_upperDisplay(kUpperDisplay, dx470::kTypeFloat32, signedValues) {}

bool ScalingDialog::OnInitDialog() {
  SetWindowText(Translate("Modify display values"));
  static const std::pair<int, const char*> kTexts[] = {{kScalingGroup, "Scaling"},
                                                       {kLowerObjectLabel, "Lower obj. value:"},
                                                       {kLowerDisplayLabel, "Display value:"},
                                                       {kUpperObjectLabel, "Upper obj. value:"},
                                                       {kUpperDisplayLabel, "Display value:"},
                                                       {kPresentationGroup, "Floating point presentation"},
                                                       {kMultiplierLabel, "Multiply/divide value by:"},
                                                       {kIntegerLabel, "Integer digits:"},
                                                       {kDecimalLabel, "Decimal digits:"},
                                                       {kSetDefaults, "Set defaults"},
                                                       {ui::IDOK, "OK"},
                                                       {ui::IDCANCEL, "Cancel"},
                                                       {kHelp, "Help"}};
  for (const auto& [id, key] : kTexts) SetDlgItemText(id, Translate(key));
  for (const char* item : {"x1000", "x100", "x10"}) AddString(kMultiplier, item);
  AddString(kMultiplier, Translate("none"));
  for (const char* item : {"/10", "/100", "/1000"}) AddString(kMultiplier, item);
  for (int n = 1; n <= 8; ++n) AddString(kInteger, std::to_string(n));
  for (int n = 0; n <= 3; ++n) AddString(kDecimal, std::to_string(n));
  Load();
  SetFocus(kLowerObject);
  SetEditSel(kLowerObject, 0, -1);
  return false;
}

// The copy into the controls. An exponent outside -3..3 shows as "none";
// integer digits of 0 or above 20 show as 2, others out of the list as no
// selection; decimal digits above 10 show as 0.
void ScalingDialog::Load() {
  m_upperObject.Load(&m_bytes[kUpperObjectAt]);
  m_lowerObject.Load(&m_bytes[kLowerObjectAt]);
  m_upperDisplay.Load(&m_bytes[kUpperDisplayAt]);
  m_lowerDisplay.Load(&m_bytes[kLowerDisplayAt]);
  for (const NumericEdit* field : {&m_upperObject, &m_lowerObject, &m_upperDisplay, &m_lowerDisplay})
    field->Show(*this);
  const int e = int8_t(m_bytes[kExponentAt]);
  SetCurSel(kMultiplier, e >= -3 && e <= 3 ? e + kMultiplierNone : kMultiplierNone);
  const int digits = m_bytes[kIntegerAt];
  SetCurSel(kInteger, digits == 0 || digits > 20 ? 1 : digits - 1);
  const int decimals = m_bytes[kDecimalAt];
  SetCurSel(kDecimal, decimals > 10 ? 0 : decimals);
}

void ScalingDialog::OnSetDefaults() {
  const int answer = Services().MessageBox({Translate("Set default"),
                                            Translate("Do you really want to set default parameter values?"),
                                            ui::Buttons::YesNo, ui::Icon::Question, 0, true});
  if (answer != ui::IDYES) return;
  m_bytes[kExponentAt] = 0;
  m_bytes[kFlagsAt] = m_bSigned ? 6 : 4;
  m_bytes[kIntegerAt] = dx470::TypeInfo(m_receiveType).integerDigits;
  m_bytes[kDecimalAt] = dx470::TypeInfo(m_receiveType).decimalDigits;
  std::fill(m_bytes.begin() + kBlockAt, m_bytes.end(), uint8_t(0));
  Load();
  SetFocus(kLowerObject);
  SetEditSel(kLowerObject, 0, -1);
}

// With the multiplier's exponent e < 0 the display values must stay within
// the float range divided by 10^-e, else within the float range.
bool ScalingDialog::CheckDisplayValues() {
  const int sel = GetCurSel(kMultiplier);
  const int e = sel >= 0 ? sel - kMultiplierNone : 0;
  const double limit = e < 0 ? kFloatMax * std::pow(10.0, e) : kFloatMax;
  for (NumericEdit* field : {&m_lowerDisplay, &m_upperDisplay}) {
    const double v = field->Value().floatValue;
    if (v >= -limit && v <= limit) continue;
    RefuseField(*this, BetweenMessage(-limit, limit, 0, 6), field->Id());
    return false;
  }
  return true;
}

void ScalingDialog::OnOK() {
  for (NumericEdit* field : {&m_upperObject, &m_lowerObject, &m_upperDisplay, &m_lowerDisplay})
    if (!field->Save(*this)) return;
  if (m_lowerObject.Value().floatValue > m_upperObject.Value().floatValue) {
    RefuseField(*this,
                Translate("Please enter an upper object value greater than or equal to lower object value!"),
                kUpperObject);
    return;
  }
  if (!CheckDisplayValues()) return;
  const int multiplier = GetCurSel(kMultiplier), digits = GetCurSel(kInteger), decimals = GetCurSel(kDecimal);
  if (multiplier >= 0) m_bytes[kExponentAt] = uint8_t(int8_t(multiplier - kMultiplierNone));
  m_bytes[kIntegerAt] = uint8_t(digits >= 0 ? digits + 1 : 2);
  if (decimals >= 0) m_bytes[kDecimalAt] = uint8_t(decimals);
  m_upperObject.Store(&m_bytes[kUpperObjectAt]);
  m_lowerObject.Store(&m_bytes[kLowerObjectAt]);
  m_upperDisplay.Store(&m_bytes[kUpperDisplayAt]);
  m_lowerDisplay.Store(&m_bytes[kLowerDisplayAt]);
  m_target = m_bytes;
  EndDialog(ui::IDOK);
}

void ScalingDialog::OnCommand(int id, int code) {
  if (code == ui::BN_CLICKED && id == kSetDefaults) return OnSetDefaults();
  if (code == ui::BN_CLICKED && id == kHelp) return OnHelp();
  Dialog::OnCommand(id, code);
}

void ScalingDialog::OnHelp() { Services().ShowHelp(PluginApp().HelpFilePath(), id::kScalingHelpContext); }

}  // namespace editor
