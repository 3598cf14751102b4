// The settings dialogs of time and date messages: the format of record
// byte 100 with a live example of 18:09:05 and 5 January 2004.
#include "data/msgtypes.h"
#include "editor/message_formats.h"
#include "pluginwinappbase/pluginwinappbase.h"

namespace editor {
namespace {

using ui::ControlKind;
constexpr uint32_t kTab = ui::kTabStop;

namespace tid {
constexpr int kFormatGroup = 1060, kFormatLabel = 1061, kFormatCombo = 1062, kExampleLabel = 1063,
              kExample = 1064, kFirstZero = 1065, kSecondZero = 1066, kThirdZero = 1067, kYearsLabel = 1068,
              kYearsCombo = 1069;
}  // namespace tid

// The example the templates start with; it stands for the all-zero format.
constexpr const char* kTimeStart = "18:09:05";
constexpr const char* kDateStart = "05.01.2004";
constexpr uint8_t kFormatBits = 0x1F;  // bits 0..4 of byte 100

bool Checked(const ui::Dialog& d, int id) { return d.GetCheck(id) == ui::BST_CHECKED; }
int CheckState(bool on) { return on ? ui::BST_CHECKED : ui::BST_UNCHECKED; }

// Controls of both dialogs' format group; the check boxes lie at x 200.
std::vector<ui::ControlSpec> FormatGroup(const char* group, int height) {
  return {{tid::kFormatGroup, ControlKind::GroupBox, group, {7, 150, 386, height}, 0},
          {tid::kFormatLabel, ControlKind::Static, "Format:???", {14, 164, 54, 8}, 0},
          {tid::kFormatCombo, ControlKind::ComboBox, "", {70, 162, 110, 60}, kTab}};
}

std::vector<ui::ControlSpec> TimeControls() {
  std::vector<ui::ControlSpec> c = FormatGroup("Time format???", 56);
  const std::vector<ui::ControlSpec> more = {
      {tid::kExampleLabel, ControlKind::Static, "Example:???", {14, 184, 54, 8}, 0},
      {tid::kExample, ControlKind::Static, kTimeStart, {70, 184, 110, 8}, ui::kNoPrefix},
      {tid::kFirstZero,
       ControlKind::AutoCheckBox,
       "Hours without leading zero???",
       {200, 162, 186, 10},
       kTab},
      {tid::kSecondZero,
       ControlKind::AutoCheckBox,
       "Minutes without leading zero???",
       {200, 175, 186, 10},
       kTab},
      {tid::kThirdZero,
       ControlKind::AutoCheckBox,
       "Seconds without leading zero???",
       {200, 188, 186, 10},
       kTab}};
  c.insert(c.end(), more.begin(), more.end());
  return c;
}

std::vector<ui::ControlSpec> DateControls() {
  std::vector<ui::ControlSpec> c = FormatGroup("Date format???", 62);
  const std::vector<ui::ControlSpec> more = {
      {tid::kYearsLabel, ControlKind::Static, "Years:???", {14, 180, 54, 8}, 0},
      {tid::kYearsCombo, ControlKind::ComboBox, "", {70, 178, 110, 50}, kTab},
      {tid::kExampleLabel, ControlKind::Static, "Example:???", {14, 197, 54, 8}, 0},
      {tid::kExample, ControlKind::Static, kDateStart, {70, 197, 110, 8}, ui::kNoPrefix},
      {tid::kFirstZero, ControlKind::AutoCheckBox, "Day without leading zero???", {200, 162, 186, 10}, kTab},
      {tid::kSecondZero,
       ControlKind::AutoCheckBox,
       "Month without leading zero???",
       {200, 175, 186, 10},
       kTab}};
  c.insert(c.end(), more.begin(), more.end());
  return c;
}

// What both dialogs share: translated texts, the example after every change
// of the format, and bits 0..4 of byte 100 (the others are kept).
class FormatMessageDialog : public MessageSettingsDialog {
 public:
  using MessageSettingsDialog::MessageSettingsDialog;

 protected:
  virtual uint8_t BitsFromControls() const = 0;
  virtual void BitsToControls(uint8_t bits) = 0;
  virtual std::string Example(uint8_t bits) const = 0;
  virtual const char* StartExample() const = 0;

  void TranslateTexts(const std::vector<std::pair<int, const char*>>& texts) {
    for (const auto& [id, key] : texts) SetDlgItemText(id, Translate(key));
  }
  void Exchange(bool save) override {
    MessageSettingsDialog::Exchange(save);
    uint8_t& bits = m_record.TypeSpecific[0];
    if (save) {
      bits = uint8_t((bits & ~kFormatBits) | BitsFromControls());
      return;
    }
    BitsToControls(bits & kFormatBits);
    UpdateExample();
  }
  bool OnVariantCommand(int id, int code) override {
    const bool box = id >= tid::kFirstZero && id <= tid::kThirdZero && code == ui::BN_CLICKED;
    const bool combo = (id == tid::kFormatCombo || id == tid::kYearsCombo) && code == ui::CBN_SELCHANGE;
    if (!box && !combo) return false;
    UpdateExample();
    return true;
  }
  // The all-zero format shows the template's text, any other its example.
  void UpdateExample() {
    const uint8_t bits = BitsFromControls();
    SetDlgItemText(tid::kExample, bits == 0 ? std::string(StartExample()) : Example(bits));
  }
};

class TimeMessageDialog : public FormatMessageDialog {
 public:
  TimeMessageDialog()
      : FormatMessageDialog(MessageSettingsTemplate(id::kTimeTemplate, TimeControls(), 60), 530) {}

 protected:
  bool OnInitDialog() override {
    TranslateTexts({{tid::kFormatGroup, "Time format"},
                    {tid::kFormatLabel, "Format:"},
                    {tid::kExampleLabel, "Example:"},
                    {tid::kFirstZero, "Hours without leading zero"},
                    {tid::kSecondZero, "Minutes without leading zero"},
                    {tid::kThirdZero, "Seconds without leading zero"}});
    for (const char* key : {"12 hours with AM/PM", "12 hours without AM/PM", "24 hours"})
      AddString(tid::kFormatCombo, Translate(key));
    return MessageSettingsDialog::OnInitDialog();
  }
  uint8_t BitsFromControls() const override {
    uint8_t bits = 0;
    if (Checked(*this, tid::kFirstZero)) bits |= kTimeNoZeroHours;
    if (Checked(*this, tid::kSecondZero)) bits |= kTimeNoZeroMinutes;
    if (Checked(*this, tid::kThirdZero)) bits |= kTimeNoZeroSeconds;
    const int format = GetCurSel(tid::kFormatCombo);
    if (format == 0) bits |= kTime12Hours | kTimeAmPm;
    if (format == 1) bits |= kTime12Hours;
    return bits;
  }
  // AM/PM without the 12-hour format means nothing: it loads as "24 hours".
  void BitsToControls(uint8_t bits) override {
    SetCheck(tid::kFirstZero, CheckState(bits & kTimeNoZeroHours));
    SetCheck(tid::kSecondZero, CheckState(bits & kTimeNoZeroMinutes));
    SetCheck(tid::kThirdZero, CheckState(bits & kTimeNoZeroSeconds));
    SetCurSel(tid::kFormatCombo, (bits & kTime12Hours) ? ((bits & kTimeAmPm) ? 0 : 1) : 2);
  }
  std::string Example(uint8_t bits) const override { return TimeExample(bits); }
  const char* StartExample() const override { return kTimeStart; }
};

class DateMessageDialog : public FormatMessageDialog {
 public:
  DateMessageDialog()
      : FormatMessageDialog(MessageSettingsTemplate(id::kDateTemplate, DateControls(), 66), 520) {}

 protected:
  bool OnInitDialog() override {
    TranslateTexts({{tid::kFormatGroup, "Date format"},
                    {tid::kFormatLabel, "Format:"},
                    {tid::kYearsLabel, "Years:"},
                    {tid::kExampleLabel, "Example:"},
                    {tid::kFirstZero, "Day without leading zero"},
                    {tid::kSecondZero, "Month without leading zero"}});
    // The order patterns are the same in every language.
    for (const char* pattern : {"dd.mm.yy", "yy.mm.dd", "yy/mm/dd"}) AddString(tid::kFormatCombo, pattern);
    AddString(tid::kYearsCombo, Translate("2 digits"));
    AddString(tid::kYearsCombo, Translate("4 digits"));
    return MessageSettingsDialog::OnInitDialog();
  }
  uint8_t BitsFromControls() const override {
    uint8_t bits = 0;
    if (Checked(*this, tid::kFirstZero)) bits |= kDateNoZeroDay;
    if (Checked(*this, tid::kSecondZero)) bits |= kDateNoZeroMonth;
    if (GetCurSel(tid::kYearsCombo) == 0) bits |= kDateTwoDigitYear;
    const int format = GetCurSel(tid::kFormatCombo);
    if (format == 1) bits |= kDateYearFirstDots;
    if (format == 2) bits |= kDateYearFirstSlashes;
    return bits;
  }
  // Both order bits at once load as "yy/mm/dd".
  void BitsToControls(uint8_t bits) override {
    SetCheck(tid::kFirstZero, CheckState(bits & kDateNoZeroDay));
    SetCheck(tid::kSecondZero, CheckState(bits & kDateNoZeroMonth));
    SetCurSel(tid::kYearsCombo, (bits & kDateTwoDigitYear) ? 0 : 1);
    SetCurSel(tid::kFormatCombo, (bits & kDateYearFirstSlashes) ? 2 : (bits & kDateYearFirstDots) ? 1 : 0);
  }
  std::string Example(uint8_t bits) const override { return DateExample(bits); }
  const char* StartExample() const override { return kDateStart; }
};

}  // namespace

std::string TimeExample(uint8_t bits) {
  const bool twelve = bits & kTime12Hours;
  std::string s = !twelve ? "18 : " : (bits & kTimeNoZeroHours) ? "6 : " : "06 : ";
  s += (bits & kTimeNoZeroMinutes) ? "9 : " : "09 : ";
  s += (bits & kTimeNoZeroSeconds) ? "5" : "05";
  if (twelve && (bits & kTimeAmPm)) s += "  PM";
  return s;
}

std::string DateExample(uint8_t bits) {
  const std::string day = (bits & kDateNoZeroDay) ? " 5 " : " 05 ";
  const std::string month = (bits & kDateNoZeroMonth) ? " 1 " : " 01 ";
  const std::string year = (bits & kDateTwoDigitYear) ? " 04 " : " 2004 ";
  if (bits & kDateYearFirstSlashes) return year + "/" + month + "/" + day;
  if (bits & kDateYearFirstDots) return year + "." + month + "." + day;
  return day + "." + month + "." + year;
}

std::unique_ptr<MessageSettingsDialog> MakeTimeMessageDialog() {
  return std::make_unique<TimeMessageDialog>();
}
std::unique_ptr<MessageSettingsDialog> MakeDateMessageDialog() {
  return std::make_unique<DateMessageDialog>();
}

}  // namespace editor
