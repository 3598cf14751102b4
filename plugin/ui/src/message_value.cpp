// The settings dialog of numeric messages: alarm condition and value,
// display mode with its two sub-dialogs, send limits and step width, and
// the value range that all of these are checked against.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "data/msgtypes.h"
#include "editor/message_formats.h"
#include "editor/numeric_value.h"
#include "editor/scaling_dialog.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/ddx.h"
#include "ui/services.h"

namespace editor {
namespace {

using ui::ControlKind;
constexpr uint32_t kTab = ui::kTabStop;

namespace nid {
constexpr int kAlarmGroup = 1080, kConditionLabel = 1081, kCondition = 1082, kAlarmValueLabel = 1083,
              kAlarmValue = 1084, kModeGroup = 1085, kValueRadio = 1086, kModifyButton = 1087,
              kTextRadio = 1088, kRangesButton = 1089, kSendGroup = 1090, kLowerLabel = 1091, kLower = 1092,
              kUpperLabel = 1093, kUpper = 1094, kStepLabel = 1095, kStep = 1096;
}  // namespace nid

constexpr float kFloatMax = 3.4028235e38f;
constexpr float kGrowLimit = 3.4028235e37f;  // from here on a factor 10 saturates
constexpr float kSendMaximum = 16500000.0f;
constexpr uint8_t kFloatType = dx470::kTypeFloat32;
constexpr size_t kFlags = dx470::kRecValueFlags - kValueByteBase;
constexpr size_t kBlock = dx470::kRecBlock - kValueByteBase;

float BlockFloat(const ValueBytes& bytes, size_t recordOffset) {
  std::array<uint8_t, 4> b{};
  std::copy_n(bytes.begin() + std::ptrdiff_t(recordOffset - kValueByteBase), 4, b.begin());
  return DecodeFloat(b);
}

float Grow(float bound) {
  return std::fabs(bound) >= kGrowLimit ? std::copysign(kFloatMax, bound) : bound * 10.0f;
}

std::vector<ui::ControlSpec> ValueControls() {
  return {
      {nid::kAlarmGroup, ControlKind::GroupBox, "Alarm???", {7, 150, 386, 28}, 0},
      {nid::kConditionLabel, ControlKind::Static, "if value is:???", {14, 163, 60, 8}, 0},
      {nid::kCondition, ControlKind::ComboBox, "", {76, 161, 90, 80}, kTab},
      {nid::kAlarmValueLabel, ControlKind::Static, "alarm value:???", {186, 163, 64, 8}, 0},
      {nid::kAlarmValue, ControlKind::Edit, "", {252, 161, 80, 12}, kTab},
      {nid::kModeGroup, ControlKind::GroupBox, "Display mode???", {7, 182, 190, 62}, 0},
      {nid::kValueRadio, ControlKind::RadioButton, "Value???", {14, 198, 76, 10}, kTab | ui::kGroup},
      {nid::kTextRadio, ControlKind::RadioButton, "Text (symbols)???", {14, 220, 76, 10}, 0},
      {nid::kModifyButton, ControlKind::PushButton, "Modify display values???", {92, 196, 98, 14}, kTab},
      {nid::kRangesButton, ControlKind::PushButton, "Define ranges???", {92, 218, 98, 14}, kTab},
      {nid::kSendGroup, ControlKind::GroupBox, "Send values???", {203, 182, 190, 62}, 0},
      {nid::kLowerLabel, ControlKind::Static, "Lower limit:???", {210, 196, 74, 8}, 0},
      {nid::kLower, ControlKind::Edit, "", {286, 194, 80, 12}, kTab},
      {nid::kUpperLabel, ControlKind::Static, "Upper limit:???", {210, 212, 74, 8}, 0},
      {nid::kUpper, ControlKind::Edit, "", {286, 210, 80, 12}, kTab},
      {nid::kStepLabel, ControlKind::Static, "Step width:???", {210, 228, 74, 8}, 0},
      {nid::kStep, ControlKind::Edit, "", {286, 226, 80, 12}, kTab},
  };
}

class ValueMessageDialog : public MessageSettingsDialog {
 public:
  ValueMessageDialog()
      : MessageSettingsDialog(MessageSettingsTemplate(id::kValueTemplate, ValueControls(), 98), 540) {}

 protected:
  void InitVariantControls() override {
    for (NumericEdit* field : Fields()) field->SetType(kFloatType, m_bSignedValues);
  }
  bool OnInitDialog() override;
  void Exchange(bool save) override;
  bool Validate() override;
  void DoDataExchange(ui::DataExchange& dx) override;
  void EnableAlarmControls(bool alarm) override;
  bool OnVariantCommand(int id, int code) override;

 private:
  std::array<NumericEdit*, 4> Fields() { return {&m_alarmValue, &m_lower, &m_upper, &m_step}; }
  bool Sends() const { return dx470::IsNumericType(m_sendType); }
  bool TextMode() const { return GetCheck(nid::kTextRadio) == ui::BST_CHECKED; }
  bool AlarmActive() const { return GetCheck(id::kAlarmCheck) == ui::BST_CHECKED; }
  void LoadCopies();
  void UpdateModeButtons();
  bool CheckField(NumericEdit& field, const ValueBounds& range, bool checkLower, bool zeroAllowed);

  // Bytes 100..209 as each display mode has them.
  ValueBytes m_valueCopy{}, m_textCopy{};
  NumericEdit m_alarmValue{nid::kAlarmValue}, m_lower{nid::kLower}, m_upper{nid::kUpper}, m_step{nid::kStep};
};

bool ValueMessageDialog::OnInitDialog() {
  static const std::pair<int, const char*> kTexts[] = {{nid::kAlarmGroup, "Alarm"},
                                                       {nid::kConditionLabel, "if value is:"},
                                                       {nid::kAlarmValueLabel, "alarm value:"},
                                                       {nid::kModeGroup, "Display mode"},
                                                       {nid::kValueRadio, "Value"},
                                                       {nid::kTextRadio, "Text (symbols)"},
                                                       {nid::kModifyButton, "Modify display values"},
                                                       {nid::kRangesButton, "Define ranges"},
                                                       {nid::kSendGroup, "Send values"},
                                                       {nid::kLowerLabel, "Lower limit:"},
                                                       {nid::kUpperLabel, "Upper limit:"},
                                                       {nid::kStepLabel, "Step width:"}};
  for (const auto& [id, key] : kTexts) SetDlgItemText(id, Translate(key));
  for (const char* key : {"greater than", "greater or equal", "equal to", "less than", "less or equal"})
    AddString(nid::kCondition, Translate(key));
  for (int id : {nid::kLowerLabel, nid::kLower, nid::kUpperLabel, nid::kUpper, nid::kStepLabel, nid::kStep})
    EnableControl(id, Sends());
  return MessageSettingsDialog::OnInitDialog();
}

// Both copies start from the record; the mode not in use starts without
// its block.
void ValueMessageDialog::LoadCopies() {
  std::copy_n(m_record.TypeSpecific, m_valueCopy.size(), m_valueCopy.begin());
  m_textCopy = m_valueCopy;
  ValueBytes& unused = (m_valueCopy[kFlags] & dx470::kValueFlagTextMode) ? m_valueCopy : m_textCopy;
  std::fill(unused.begin() + kBlock, unused.end(), uint8_t(0));
}

void ValueMessageDialog::Exchange(bool save) {
  MessageSettingsDialog::Exchange(save);
  uint8_t* sendData = m_record.SendData;
  if (!save) {
    LoadCopies();
    const uint8_t flags = m_valueCopy[kFlags];
    SetCurSel(nid::kCondition, ConditionIndex(flags));
    const bool text = flags & dx470::kValueFlagTextMode;
    CheckRadioButton(nid::kValueRadio, nid::kTextRadio, text ? nid::kTextRadio : nid::kValueRadio);
    UpdateModeButtons();
    m_alarmValue.Load(m_record.AlarmValue);
    for (int k = 0; k < 3; ++k) Fields()[size_t(k + 1)]->Load(sendData + 4 * k);
    for (NumericEdit* field : Fields()) field->Show(*this);
    return;
  }
  const bool text = TextMode();
  ValueBytes out = text ? m_textCopy : m_valueCopy;
  if (text) {  // the textual display has no number format
    out[dx470::kRecExponent - kValueByteBase] = 0;
    out[dx470::kRecIntegerDigits - kValueByteBase] = dx470::TypeInfo(m_receiveType).integerDigits;
    out[dx470::kRecDecimalDigits - kValueByteBase] = dx470::TypeInfo(m_receiveType).decimalDigits;
  }
  const int condition = GetCurSel(nid::kCondition);
  uint8_t& flags = out[kFlags];
  flags = uint8_t((flags & ~dx470::kValueFlagTextMode) | (text ? dx470::kValueFlagTextMode : 0));
  if (condition >= 0) flags = uint8_t((flags & ~kConditionMask) | kConditionBits[size_t(condition)]);
  std::copy(out.begin(), out.end(), m_record.TypeSpecific);
  m_alarmValue.Store(m_record.AlarmValue);
  for (int k = 0; k < 3; ++k) Fields()[size_t(k + 1)]->Store(sendData + 4 * k);
}

// Only the fields in use are read: the others keep their stored bytes.
void ValueMessageDialog::DoDataExchange(ui::DataExchange& dx) {
  if (AlarmActive()) m_alarmValue.Exchange(dx);
  if (!Sends()) return;
  m_lower.Exchange(dx);
  m_upper.Exchange(dx);
  m_step.Exchange(dx);
}

bool ValueMessageDialog::Validate() {
  if (!MessageSettingsDialog::Validate()) return false;
  const ValueBounds range = AllowedRange(m_receiveType, m_bSignedValues, !TextMode(), m_valueCopy);
  if (AlarmActive() && !CheckField(m_alarmValue, range, true, true)) return false;
  if (!Sends()) return true;
  if (!CheckField(m_lower, range, true, true) || !CheckField(m_upper, range, true, true) ||
      !CheckField(m_step, range, false, false))
    return false;
  if (m_lower.Value().floatValue > m_upper.Value().floatValue) {
    RefuseField(*this, Translate("Please enter an upper limit value greater or equal to lower limit value!"),
                nid::kUpper);
    return false;
  }
  return true;
}

bool ValueMessageDialog::CheckField(NumericEdit& field, const ValueBounds& range, bool checkLower,
                                    bool zeroAllowed) {
  const float v = field.Value().floatValue;
  const std::string atMost = Translate("Please enter a value lower than or equal to") + " ";
  std::string message;
  if ((checkLower && v < range.lower) || v > range.upper)
    message = checkLower ? BetweenMessage(range.lower, range.upper, 8, 3)
                         : atMost + FormatFixed(range.upper, 8, 3) + "!";
  else if (v > kSendMaximum)
    message = atMost + FormatFixed(kSendMaximum, 8, 3) + "!";
  else if (!zeroAllowed && v == 0)
    message = Translate("Zero is not allowed here") + "!";
  if (!message.empty()) {
    RefuseField(*this, message, field.Id());
    return false;
  }
  field.Value().encoded = EncodeFloat(v);
  return true;
}

void ValueMessageDialog::EnableAlarmControls(bool alarm) {
  MessageSettingsDialog::EnableAlarmControls(alarm);
  for (int id : {nid::kConditionLabel, nid::kCondition, nid::kAlarmValueLabel, nid::kAlarmValue})
    EnableControl(id, alarm);
}

void ValueMessageDialog::UpdateModeButtons() {
  EnableControl(nid::kModifyButton, !TextMode());
  EnableControl(nid::kRangesButton, TextMode());
}

bool ValueMessageDialog::OnVariantCommand(int id, int code) {
  if (code != ui::BN_CLICKED) return false;
  switch (id) {
    case nid::kValueRadio:
    case nid::kTextRadio: UpdateModeButtons(); return true;
    case nid::kModifyButton:
      ScalingDialog(m_receiveType, m_bSignedValues, m_valueCopy).DoModal();
      return true;
    case nid::kRangesButton:
      TextRangesDialog(m_receiveType, m_bSignedValues, m_textCopy, NormalFont(), NormalFontIndex()).DoModal();
      return true;
    default: return false;
  }
}

}  // namespace

int ConditionIndex(uint8_t flags) {
  const bool b2 = flags & 0x04, b3 = flags & 0x08, b4 = flags & 0x10;
  if (b2 && b4) return 1;
  if (b3) return b4 ? 4 : 3;
  return b4 ? 2 : 0;
}

ValueBounds AllowedRange(uint8_t receiveType, bool signedValues, bool valueMode,
                         const ValueBytes& valueCopy) {
  const dx470::ValueRange type = dx470::TypeValueRange(receiveType, signedValues);
  float lower = type.lower, upper = type.upper;
  if (valueMode) {
    const float upperDisplay = BlockFloat(valueCopy, 112), lowerDisplay = BlockFloat(valueCopy, 116);
    const bool scaled = BlockFloat(valueCopy, 104) != 0 || BlockFloat(valueCopy, 108) != 0 ||
                        upperDisplay != 0 || lowerDisplay != 0;
    if (scaled) {
      lower = std::min(lowerDisplay, upperDisplay);
      upper = std::max(lowerDisplay, upperDisplay);
    }
    const int e = int8_t(valueCopy[dx470::kRecExponent - kValueByteBase]);
    for (int k = 0; k < -e && e >= -3; ++k) lower = Grow(lower), upper = Grow(upper);
    for (int k = 0; k < e && e <= 3; ++k) lower *= 0.1f, upper *= 0.1f;
  }
  return {lower, upper};
}

std::string FormatFixed(double value, int width, int precision) {
  std::array<char, 400> buf;
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed, precision);
  std::string s = r.ec == std::errc() ? std::string(buf.data(), r.ptr) : std::string();
  if (int(s.size()) < width) s.insert(0, size_t(width) - s.size(), ' ');
  return s;
}

std::string BetweenMessage(double lower, double upper, int width, int precision) {
  return Translate("Please enter a value between") + " " + FormatFixed(lower, width, precision) + " " +
         Translate("and") + " " + FormatFixed(upper, width, precision) + "!";
}

void RefuseField(ui::Dialog& dialog, const std::string& text, int fieldId) {
  dialog.Services().MessageBox({Translate("Error"), text, ui::Buttons::Ok, ui::Icon::Stop, 0, true});
  dialog.SetFocus(fieldId);
  dialog.SetEditSel(fieldId, 0, -1);
}

std::unique_ptr<MessageSettingsDialog> MakeValueMessageDialog() {
  return std::make_unique<ValueMessageDialog>();
}

}  // namespace editor
