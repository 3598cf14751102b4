// "Define ranges for textual display": a numeric message shows one of three
// texts, chosen by where the value lies relative to two limiting values.
#include "data/msgtypes.h"
#include "editor/scaling_dialog.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/services.h"

namespace editor {
namespace {

using ui::ControlKind;
using D = TextRangesDialog;
constexpr uint32_t kTab = ui::kTabStop;
constexpr int kRangeLength = 30;
// Offsets in the format bytes (record offset - 100).
constexpr size_t kUpperLimitAt = 4, kLowerLimitAt = 8, kUpperTextAt = 20, kMediumTextAt = 50,
                 kLowerTextAt = 80;

ui::DialogTemplate TextRangesTemplate() {
  ui::DialogTemplate t;
  t.id = id::kTextRangesTemplate;
  t.caption = "Define ranges for textual display???";
  t.cx = 340;
  t.cy = 172;
  t.controls = {
      {D::kLimitsGroup, ControlKind::GroupBox, "Limiting lines???", {7, 7, 326, 44}, 0},
      {D::kLowerLimitLabel, ControlKind::Static, "Lower limiting value:???", {14, 21, 100, 8}, 0},
      {D::kLowerLimit, ControlKind::Edit, "", {116, 19, 70, 12}, kTab},
      {D::kUpperLimitLabel, ControlKind::Static, "Upper limiting value:???", {14, 36, 100, 8}, 0},
      {D::kUpperLimit, ControlKind::Edit, "", {116, 34, 70, 12}, kTab},
      {D::kTextGroup, ControlKind::GroupBox, "Text output???", {7, 56, 326, 88}, 0},
      {D::kLowerTextLabel, ControlKind::Static, "Lower range:???", {14, 70, 62, 8}, 0},
      {D::kLowerText, ControlKind::OwnerDraw, "", {78, 66, 248, 16}, kTab},
      {D::kMediumTextLabel, ControlKind::Static, "Medium range:???", {14, 89, 62, 8}, 0},
      {D::kMediumText, ControlKind::OwnerDraw, "", {78, 85, 248, 16}, kTab},
      {D::kUpperTextLabel, ControlKind::Static, "Upper range:???", {14, 108, 62, 8}, 0},
      {D::kUpperText, ControlKind::OwnerDraw, "", {78, 104, 248, 16}, kTab},
      {D::kGetCharacter, ControlKind::PushButton, "Get character???", {246, 124, 80, 14}, kTab},
      {ui::IDOK, ControlKind::DefPushButton, "OK???", {139, 151, 62, 14}, kTab},
      {ui::IDCANCEL, ControlKind::PushButton, "Cancel???", {205, 151, 62, 14}, kTab},
      {D::kHelp, ControlKind::PushButton, "Help???", {271, 151, 62, 14}, kTab},
  };
  return t;
}

std::string TypeDisplayName(uint8_t type, bool signedValues) {
  std::string name = Translate(dx470::TypeName(type));
  return dx470::IsCounterType(type) && signedValues ? Translate("signed") + " " + name : name;
}

}  // namespace

TextRangesDialog::TextRangesDialog(uint8_t receiveType, bool signedValues, ValueBytes& bytes,
                                   const dx470::ZEICHENSATZ* font, int fontIndex)
    : Dialog(TextRangesTemplate()),
      m_receiveType(receiveType),
      m_bSigned(signedValues),
      m_target(bytes),
      m_bytes(bytes),
      m_lowerLimit(kLowerLimit, receiveType, signedValues),
      m_upperLimit(kUpperLimit, receiveType, signedValues) {
  for (CMessageTextEdit* editor : {&m_lowerText, &m_mediumText, &m_upperText}) {
    editor->SetFont(font, fontIndex);
    editor->Configure(0, nullptr);
  }
}

bool TextRangesDialog::OnInitDialog() {
  SetWindowText(Translate("Define ranges for textual display") + Translate(" - receive type: ") +
                TypeDisplayName(m_receiveType, m_bSigned));
  static const std::pair<int, const char*> kTexts[] = {{kLimitsGroup, "Limits"},
                                                       {kLowerLimitLabel, "Lower limiting value:"},
                                                       {kUpperLimitLabel, "Upper limiting value:"},
                                                       {kTextGroup, "Text output"},
                                                       {kLowerTextLabel, "Lower range:"},
                                                       {kMediumTextLabel, "Medium range:"},
                                                       {kUpperTextLabel, "Upper range:"},
                                                       {kGetCharacter, "Get character"},
                                                       {ui::IDOK, "OK"},
                                                       {ui::IDCANCEL, "Cancel"},
                                                       {kHelp, "Help"}};
  for (const auto& [id, key] : kTexts) SetDlgItemText(id, Translate(key));
  Attach(kLowerText, m_lowerText);
  Attach(kMediumText, m_mediumText);
  Attach(kUpperText, m_upperText);
  m_lowerText.SetText(&m_bytes[kLowerTextAt], kRangeLength);
  m_mediumText.SetText(&m_bytes[kMediumTextAt], kRangeLength);
  m_upperText.SetText(&m_bytes[kUpperTextAt], kRangeLength);
  m_lowerLimit.Load(&m_bytes[kLowerLimitAt]);
  m_upperLimit.Load(&m_bytes[kUpperLimitAt]);
  m_lowerLimit.Show(*this);
  m_upperLimit.Show(*this);
  EnableControl(kGetCharacter, false);
  SetFocus(kLowerLimit);
  SetEditSel(kLowerLimit, 0, -1);
  return false;
}

CMessageTextEdit* TextRangesDialog::RangeEditor(int id) {
  switch (id) {
    case kLowerText: return &m_lowerText;
    case kMediumText: return &m_mediumText;
    case kUpperText: return &m_upperText;
    default: return nullptr;
  }
}

// "Get character" serves the range text that has the focus; moving the
// focus onto the button keeps it.
void TextRangesDialog::OnNotify(int id, int code, intptr_t param) {
  CMessageTextEdit* editor = RangeEditor(id);
  if (!editor || code != CMessageTextEdit::kFocusNotify) return;
  if (param == 1)
    m_pLastEditor = editor;
  else if (GetFocus() != kGetCharacter && !RangeEditor(GetFocus()))
    m_pLastEditor = nullptr;
  EnableControl(kGetCharacter, m_pLastEditor != nullptr);
}

void TextRangesDialog::OnOK() {
  if (!m_lowerLimit.Save(*this) || !m_upperLimit.Save(*this)) return;
  if (!(m_lowerLimit.Value().floatValue < m_upperLimit.Value().floatValue)) {
    RefuseField(*this, Translate("Please enter an upper limit greater than the lower limit!"), kUpperLimit);
    return;
  }
  m_upperLimit.Store(&m_bytes[kUpperLimitAt]);
  m_lowerLimit.Store(&m_bytes[kLowerLimitAt]);
  m_upperText.GetText(&m_bytes[kUpperTextAt], kRangeLength);
  m_mediumText.GetText(&m_bytes[kMediumTextAt], kRangeLength);
  m_lowerText.GetText(&m_bytes[kLowerTextAt], kRangeLength);
  m_target = m_bytes;
  EndDialog(ui::IDOK);
}

void TextRangesDialog::OnCommand(int id, int code) {
  if (code == ui::BN_CLICKED && id == kGetCharacter) {
    if (m_pLastEditor) m_pLastEditor->InsertSymbol();
    return;
  }
  if (code == ui::BN_CLICKED && id == kHelp) return OnHelp();
  Dialog::OnCommand(id, code);
}

void TextRangesDialog::OnHelp() {
  Services().ShowHelp(PluginApp().HelpFilePath(), id::kTextRangesHelpContext);
}

}  // namespace editor
