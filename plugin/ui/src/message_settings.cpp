// The part of every message settings dialog that all messages share: the
// three text rows with their insert buttons, the fonts, scrolling, the
// object value request and the alarm flags.
#include "editor/message_settings.h"

#include <algorithm>
#include <cstring>

#include "data/defaults.h"
#include "data/msgtypes.h"
#include "editor/character_picker.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/services.h"

namespace editor {
namespace {

constexpr int kRowLength = 30;

std::string TypeTitle(uint8_t receive, bool signedValues) {
  std::string name = Translate(dx470::TypeName(receive));
  if (dx470::IsCounterType(receive) && signedValues) name = Translate("signed") + " " + name;
  return Translate("Message settings") + " (" + name + ")";
}

}  // namespace

ui::DialogTemplate MessageSettingsTemplate(int templateId, std::vector<ui::ControlSpec> variant,
                                           int variantHeight) {
  using ui::ControlKind;
  constexpr uint32_t kTab = ui::kTabStop;
  ui::DialogTemplate t;
  t.id = templateId;
  t.caption = "Message settings???";
  t.cx = 400;
  const int bottom = kVariantTop + variantHeight;
  t.cy = bottom + 28;
  t.controls = {
      {id::kRowHeader, ControlKind::Static, "Row???", {7, 7, 22, 8}, 0},
      {id::kMessageTextHeader, ControlKind::Static, "Message text???", {32, 7, 200, 8}, 0},
  };
  for (int r = 0; r < 3; ++r) {
    t.controls.push_back({id::kRowLabel + r,
                          ControlKind::Static,
                          std::to_string(r + 1),
                          {7, 22 + 19 * r, 20, 8},
                          ui::kAlignRight});
    t.controls.push_back({id::kRow1 + r, ControlKind::OwnerDraw, "", {32, 18 + 19 * r, 250, 16}, kTab});
  }
  const std::vector<ui::ControlSpec> common = {
      {id::kSelectSymbol, ControlKind::PushButton, "Select symbol???", {292, 18, 100, 14}, kTab},
      {id::kTabulator, ControlKind::PushButton, "Tabulator???", {292, 37, 100, 14}, kTab},
      {id::kReplacement, ControlKind::PushButton, "Replacement???", {292, 56, 100, 14}, kTab},
      {id::kParameterGroup, ControlKind::GroupBox, "Parameter???", {7, 80, 386, 66}, 0},
      {id::kNormalFontLabel, ControlKind::Static, "Normal font:???", {14, 95, 80, 8}, 0},
      {id::kNormalFontCombo, ControlKind::ComboBox, "", {96, 93, 40, 50}, kTab},
      {id::kHighlightFontLabel, ControlKind::Static, "Highlighted font:???", {200, 95, 90, 8}, 0},
      {id::kHighlightFontCombo, ControlKind::ComboBox, "", {292, 93, 40, 50}, kTab},
      {id::kScrollLabel, ControlKind::Static, "Scroll message:???", {14, 113, 80, 8}, 0},
      {id::kScrollCombo, ControlKind::ComboBox, "", {96, 111, 60, 50}, kTab},
      {id::kRequestLabel, ControlKind::Static, "Request object value:???", {200, 113, 90, 8}, 0},
      {id::kRequestCombo, ControlKind::ComboBox, "", {292, 111, 94, 60}, kTab},
      {id::kAlarmCheck, ControlKind::AutoCheckBox, "Activate alarm???", {14, 130, 90, 10}, kTab},
      {id::kBeepCheck, ControlKind::AutoCheckBox, "with alarm beep???", {106, 130, 90, 10}, kTab},
      {id::kAlarmOnlyCheck,
       ControlKind::AutoCheckBox,
       "Message is visible on alarm only???",
       {200, 130, 186, 10},
       kTab},
  };
  t.controls.insert(t.controls.end(), common.begin(), common.end());
  t.controls.insert(t.controls.end(), variant.begin(), variant.end());
  const std::vector<ui::ControlSpec> buttons = {
      {id::kSetDefault, ControlKind::PushButton, "Set default???", {7, bottom + 7, 70, 14}, kTab},
      {ui::IDOK, ControlKind::DefPushButton, "OK???", {185, bottom + 7, 65, 14}, kTab},
      {ui::IDCANCEL, ControlKind::PushButton, "Cancel?????", {256, bottom + 7, 65, 14}, kTab},
      {id::kSettingsHelp, ControlKind::PushButton, "Help???", {327, bottom + 7, 65, 14}, kTab},
  };
  t.controls.insert(t.controls.end(), buttons.begin(), buttons.end());
  return t;
}

MessageSettingsDialog::MessageSettingsDialog(ui::DialogTemplate tmpl, int helpContext)
    : Dialog(std::move(tmpl)), m_nHelpContext(helpContext) {}

void MessageSettingsDialog::Load(dx470::PARAM& param, int slot) {
  if (slot < 0 || slot >= dx470::kSlotCount) return;
  m_pTarget = &param.Lcd.Messages[slot];
  m_record = *m_pTarget;
  m_receiveType = param.MessageKind[slot];
  m_sendType = param.MessageType[slot];
  m_bReplacementAllowed = m_receiveType >= dx470::kTypeSwitch;
  m_bSignedValues = (m_record.TypeSpecific[dx470::kRecValueFlags - 100] & dx470::kValueFlagSigned) != 0;
  m_strTitle = TypeTitle(m_receiveType, m_bSignedValues);
  m_pFonts = &param.Lcd.Fonts[0];
  for (int r = 0; r < 3; ++r) m_rows[size_t(r)].Configure(r + 1, &m_replacementTable);
  InitVariantControls();
}

void MessageSettingsDialog::AttachEditor(int id, CMessageTextEdit& editor) {
  Attach(id, editor);
  editor.SetFont(NormalFont(), NormalFontIndex());
}

int MessageSettingsDialog::NormalFontIndex() const { return GetCurSel(id::kNormalFontCombo) == 1 ? 1 : 0; }

const dx470::ZEICHENSATZ* MessageSettingsDialog::NormalFont() const {
  return m_pFonts ? m_pFonts + NormalFontIndex() : nullptr;
}

bool MessageSettingsDialog::OnInitDialog() {
  SetWindowText(m_strTitle);
  static const struct {
    int id;
    const char* key;
  } kTexts[] = {{id::kSelectSymbol, "Select symbol"},
                {id::kTabulator, "Tabulator"},
                {id::kReplacement, "Replacement"},
                {id::kSetDefault, "Set default"},
                {ui::IDOK, "OK"},
                {ui::IDCANCEL, "Cancel"},
                {id::kSettingsHelp, "Help"},
                {id::kRowHeader, "Row"},
                {id::kMessageTextHeader, "Message text"},
                {id::kParameterGroup, "Parameter"},
                {id::kScrollLabel, "Scroll message:"},
                {id::kRequestLabel, "Request object value:"},
                {id::kNormalFontLabel, "Normal font:"},
                {id::kHighlightFontLabel, "Highlighted font:"},
                {id::kAlarmCheck, "Activate alarm"},
                {id::kBeepCheck, "with alarm beep"},
                {id::kAlarmOnlyCheck, "Message is visible on alarm only"}};
  for (const auto& t : kTexts) SetDlgItemText(t.id, Translate(t.key));
  for (int combo : {id::kNormalFontCombo, id::kHighlightFontCombo}) {
    AddString(combo, "1");
    AddString(combo, "2");
  }
  AddString(id::kScrollCombo, Translate("Yes"));
  AddString(id::kScrollCombo, Translate("No"));
  for (const char* key : {"Never", "After reset", "Polling"}) AddString(id::kRequestCombo, Translate(key));
  for (int r = 0; r < 3; ++r) Attach(id::kRow1 + r, m_rows[size_t(r)]);
  Exchange(false);
  EnableControl(id::kReplacement, m_bReplacementAllowed);
  UpdateInsertButtons();
  SetFocus(id::kRow1);
  return false;
}

void MessageSettingsDialog::Exchange(bool save) {
  uint8_t& options = m_record.Options;
  if (save) {
    m_record.NormalFont = uint8_t(std::max(GetCurSel(id::kNormalFontCombo), 0));
    m_record.HighlightedFont = uint8_t(std::max(GetCurSel(id::kHighlightFontCombo), 0));
    for (int r = 0; r < 3; ++r)
      if (m_rows[size_t(r)].GetText(m_record.Text[r], kRowLength)) m_record.ValueRow = uint8_t(r);
    const bool alarm = GetCheck(id::kAlarmCheck) == ui::BST_CHECKED;
    options = 0;
    if (alarm) {
      options |= kOptionAlarm;
      if (GetCheck(id::kBeepCheck) == ui::BST_CHECKED) options |= kOptionBeep;
      if (GetCheck(id::kAlarmOnlyCheck) == ui::BST_CHECKED) options |= kOptionAlarmOnly;
    }
    if (GetCurSel(id::kScrollCombo) == 0) options |= kOptionScroll;
    if (GetCurSel(id::kRequestCombo) == 1) options |= kOptionAfterReset;
    if (GetCurSel(id::kRequestCombo) == 2) options |= kOptionPolling;
    return;
  }
  SetCurSel(id::kNormalFontCombo, m_record.NormalFont <= 1 ? m_record.NormalFont : 0);
  SetCurSel(id::kHighlightFontCombo, m_record.HighlightedFont <= 1 ? m_record.HighlightedFont : 0);
  for (int r = 0; r < 3; ++r) m_rows[size_t(r)].SetText(m_record.Text[r], kRowLength);
  SetCheck(id::kAlarmCheck, (options & kOptionAlarm) ? ui::BST_CHECKED : ui::BST_UNCHECKED);
  SetCheck(id::kBeepCheck, (options & kOptionBeep) ? ui::BST_CHECKED : ui::BST_UNCHECKED);
  SetCheck(id::kAlarmOnlyCheck, (options & kOptionAlarmOnly) ? ui::BST_CHECKED : ui::BST_UNCHECKED);
  SetCurSel(id::kScrollCombo, (options & kOptionScroll) ? 0 : 1);
  SetCurSel(id::kRequestCombo, (options & kOptionAfterReset) ? 1 : (options & kOptionPolling) ? 2 : 0);
  EnableAlarmControls(options & kOptionAlarm);
  ApplyNormalFont();
}

void MessageSettingsDialog::EnableAlarmControls(bool alarm) {
  EnableControl(id::kBeepCheck, alarm);
  EnableControl(id::kAlarmOnlyCheck, alarm);
}

void MessageSettingsDialog::ApplyNormalFont() {
  const dx470::ZEICHENSATZ* font = NormalFont();
  for (CMessageTextEdit& row : m_rows) row.SetFont(font, NormalFontIndex());
  ApplyFont(font, NormalFontIndex());
}

bool MessageSettingsDialog::Validate() {
  if (!UpdateData(true)) return false;
  if (GetCheck(id::kAlarmCheck) == ui::BST_CHECKED && GetCheck(id::kAlarmOnlyCheck) == ui::BST_CHECKED &&
      GetCurSel(id::kScrollCombo) == 0) {
    const int answer = Services().MessageBox(
        {Translate("Warning"),
         Translate("A message visible on alarm only, with the scroll message parameter set to YES is not "
                   "possible!\n \nSet the Scroll message parameter to NO?"),
         ui::Buttons::YesNoCancel, ui::Icon::Question, 0, true});
    if (answer != ui::IDYES) return false;
    SetCurSel(id::kScrollCombo, 1);
  }
  return true;
}

void MessageSettingsDialog::OnOK() {
  if (!Validate() || !m_pTarget) return;
  EndDialog(ui::IDOK);
  Exchange(true);
  *m_pTarget = m_record;
}

void MessageSettingsDialog::OnHelp() { Services().ShowHelp(PluginApp().HelpFilePath(), m_nHelpContext); }

void MessageSettingsDialog::OnSetDefault() {
  const int answer = Services().MessageBox({Translate("Set default"),
                                            Translate("Do you really want to set default parameter values?"),
                                            ui::Buttons::YesNo, ui::Icon::Question, 0, true});
  if (answer != ui::IDYES) return;
  dx470::ResetMessage(m_record, m_receiveType, m_sendType, m_bSignedValues, Translate("Text?"));
  Exchange(false);
  SetFocus(0);
  SetFocus(id::kRow1);
}

CMessageTextEdit* MessageSettingsDialog::EditorOf(int id) {
  for (CMessageTextEdit* e : AllEditors())
    if (e->ControlId() == id) return e;
  return nullptr;
}

std::vector<CMessageTextEdit*> MessageSettingsDialog::AllEditors() {
  std::vector<CMessageTextEdit*> editors;
  for (CMessageTextEdit& row : m_rows) editors.push_back(&row);
  VariantEditors(editors);
  return editors;
}

// "Replacement" only while no row holds the value marker (and the type has
// a value); "Tabulator" while the current editor holds none; nothing is
// inserted into a full editor.
void MessageSettingsDialog::UpdateInsertButtons() {
  CMessageTextEdit* editor = m_pCurrentEditor;
  if (!editor) {
    for (int id : {id::kSelectSymbol, id::kTabulator, id::kReplacement}) EnableControl(id, false);
    return;
  }
  const bool anyMarker = std::any_of(m_rows.begin(), m_rows.end(),
                                     [](const CMessageTextEdit& r) { return r.ContainsReplacementMarker(); });
  const bool full = editor->IsFull();
  EnableControl(id::kSelectSymbol, !full);
  EnableControl(id::kTabulator, !full && !editor->ContainsTabMarker());
  EnableControl(id::kReplacement, !full && !anyMarker && m_bReplacementAllowed);
}

void MessageSettingsDialog::OnNotify(int id, int code, intptr_t param) {
  CMessageTextEdit* editor = EditorOf(id);
  if (!editor) return;
  if (code == CMessageTextEdit::kFocusNotify) {
    if (param == 1) {
      m_pCurrentEditor = editor;
    } else {
      const int to = GetFocus();
      if (to != id::kSelectSymbol && to != id::kTabulator && to != id::kReplacement)
        m_pCurrentEditor = nullptr;
    }
  }
  UpdateInsertButtons();
}

void MessageSettingsDialog::OnCommand(int id, int code) {
  if (OnVariantCommand(id, code)) return;
  if (code == ui::BN_CLICKED) {
    switch (id) {
      case id::kSelectSymbol:
        if (m_pCurrentEditor) m_pCurrentEditor->InsertSymbol();
        return;
      case id::kTabulator:
        if (m_pCurrentEditor) m_pCurrentEditor->InsertTabMarker();
        return;
      case id::kReplacement:
        if (!m_pCurrentEditor) return;
        if (std::any_of(m_rows.begin(), m_rows.end(),
                        [](const CMessageTextEdit& r) { return r.ContainsReplacementMarker(); })) {
          Services().MessageBox({Translate("Information"),
                                 Translate("Only one replacement position per message is possible!"),
                                 ui::Buttons::Ok, ui::Icon::Information, 0, true});
          return;
        }
        m_pCurrentEditor->InsertReplacementMarker();
        return;
      case id::kSetDefault: OnSetDefault(); return;
      case id::kSettingsHelp: OnHelp(); return;
      case id::kAlarmCheck: EnableAlarmControls(GetCheck(id::kAlarmCheck) == ui::BST_CHECKED); return;
      default: break;
    }
  }
  if (id == id::kNormalFontCombo && code == ui::CBN_SELCHANGE) {
    ApplyNormalFont();
    return;
  }
  Dialog::OnCommand(id, code);
}

}  // namespace editor
