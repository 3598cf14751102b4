// The message settings dialogs of static texts, switches and texts, and the
// choice of the variant by receive type.
#include <cstring>

#include "data/msgtypes.h"
#include "editor/message_formats.h"
#include "editor/message_settings.h"
#include "pluginwinappbase/pluginwinappbase.h"

namespace editor {
namespace {

using ui::ControlKind;
constexpr uint32_t kTab = ui::kTabStop;

namespace vid {
constexpr int kOneLabel = 1040, kOneText = 1041, kZeroLabel = 1042, kZeroText = 1043, kAlarmValueLabel = 1044,
              kAlarmValueCombo = 1045, kBinaryLabel = 1046, kBinaryCombo = 1047, kSwitchGetCharacter = 316;
constexpr int kConfirmCheck = 1050, kConfirmLabel = 1051, kConfirmText = 1052, kSendValuesGroup = 1053,
              kSendTextGroup = 1054, kSendText = 1055, kTextGetCharacter = 357;
}  // namespace vid

constexpr int kSwitchTextLength = 30, kConfirmLength = 30;
constexpr size_t kOneOffset = 0, kZeroOffset = 30;  // in the type-specific bytes (record 100..)
constexpr size_t kAlarmValueOffset = dx470::kRecSwitchAlarm - 100;

uint32_t BinarySendValue(const dx470::MELDUNGSPEZIFISCHE_PARAMETER& r) {
  uint32_t v = 0;
  std::memcpy(&v, r.SendData, sizeof v);  // little-endian, as the record is
  return v;
}

void SetBinarySendValue(dx470::MELDUNGSPEZIFISCHE_PARAMETER& r, uint32_t v) {
  std::memcpy(r.SendData, &v, sizeof v);
}

// The binary send combo: its items carry the stored values.
void FillBinaryCombo(ui::Dialog& d, bool withBoth) {
  d.ResetContent(vid::kBinaryCombo);
  if (withBoth)
    d.SetItemData(vid::kBinaryCombo, d.AddString(vid::kBinaryCombo, "\"0\" " + Translate("and") + " \"1\""),
                  0);
  d.SetItemData(vid::kBinaryCombo, d.AddString(vid::kBinaryCombo, Translate("only") + " \"0\""), 2);
  d.SetItemData(vid::kBinaryCombo, d.AddString(vid::kBinaryCombo, Translate("only") + " \"1\""), 1);
}

void ExchangeBinaryCombo(ui::Dialog& d, dx470::MELDUNGSPEZIFISCHE_PARAMETER& r, bool save) {
  if (save) {
    const int sel = d.GetCurSel(vid::kBinaryCombo);
    if (sel >= 0) SetBinarySendValue(r, uint32_t(d.GetItemData(vid::kBinaryCombo, sel)));
  } else {
    d.SetCurSel(vid::kBinaryCombo, d.FindItemData(vid::kBinaryCombo, intptr_t(BinarySendValue(r))));
  }
}

// ---- Switch On/Off.

class SwitchMessageDialog : public MessageSettingsDialog {
 public:
  SwitchMessageDialog()
      : MessageSettingsDialog(
            MessageSettingsTemplate(
                id::kSwitchTemplate,
                {{vid::kOneLabel, ControlKind::Static, "Text for '1':???", {14, 156, 60, 8}, 0},
                 {vid::kOneText, ControlKind::OwnerDraw, "", {76, 152, 250, 16}, kTab},
                 {vid::kZeroLabel, ControlKind::Static, "Text for '0':???", {14, 175, 60, 8}, 0},
                 {vid::kZeroText, ControlKind::OwnerDraw, "", {76, 171, 250, 16}, kTab},
                 {vid::kSwitchGetCharacter,
                  ControlKind::PushButton,
                  "Get character???",
                  {332, 152, 61, 14},
                  kTab},
                 {vid::kAlarmValueLabel, ControlKind::Static, "if value is:???", {14, 194, 60, 8}, 0},
                 {vid::kAlarmValueCombo, ControlKind::ComboBox, "", {76, 192, 50, 40}, kTab},
                 {vid::kBinaryLabel, ControlKind::Static, "Binary send value:???", {140, 194, 86, 8}, 0},
                 {vid::kBinaryCombo, ControlKind::ComboBox, "", {228, 192, 98, 50}, kTab}},
                58),
            500) {}

 protected:
  bool OnInitDialog() override {
    SetDlgItemText(vid::kOneLabel, Translate("Text for '1':"));
    SetDlgItemText(vid::kZeroLabel, Translate("Text for '0':"));
    SetDlgItemText(vid::kSwitchGetCharacter, Translate("Get character"));
    SetDlgItemText(vid::kAlarmValueLabel, Translate("if value is:"));
    SetDlgItemText(vid::kBinaryLabel, Translate("Binary send value:"));
    AddString(vid::kAlarmValueCombo, "\"1\"");
    AddString(vid::kAlarmValueCombo, "\"0\"");
    FillBinaryCombo(*this, true);
    const bool sendsSwitch = m_sendType == dx470::kTypeSwitch;
    EnableControl(vid::kBinaryLabel, sendsSwitch);
    EnableControl(vid::kBinaryCombo, sendsSwitch);
    AttachEditor(vid::kOneText, m_one);
    AttachEditor(vid::kZeroText, m_zero);
    return MessageSettingsDialog::OnInitDialog();
  }
  void Exchange(bool save) override {
    MessageSettingsDialog::Exchange(save);
    uint8_t* bytes = m_record.TypeSpecific;
    if (save) {
      m_one.GetText(bytes + kOneOffset, kSwitchTextLength);
      m_zero.GetText(bytes + kZeroOffset, kSwitchTextLength);
      const int alarm = GetCurSel(vid::kAlarmValueCombo);
      if (alarm >= 0) bytes[kAlarmValueOffset] = alarm == 0 ? 1 : 0;
      ExchangeBinaryCombo(*this, m_record, true);
    } else {
      m_one.SetText(bytes + kOneOffset, kSwitchTextLength);
      m_zero.SetText(bytes + kZeroOffset, kSwitchTextLength);
      SetCurSel(vid::kAlarmValueCombo, (bytes[kAlarmValueOffset] & 1) ? 0 : 1);
      ExchangeBinaryCombo(*this, m_record, false);
    }
  }
  void ApplyFont(const dx470::ZEICHENSATZ* font, int index) override {
    m_one.SetFont(font, index);
    m_zero.SetFont(font, index);
  }
  void VariantEditors(std::vector<CMessageTextEdit*>& editors) override {
    editors.push_back(&m_one);
    editors.push_back(&m_zero);
  }
  void EnableAlarmControls(bool alarm) override {
    MessageSettingsDialog::EnableAlarmControls(alarm);
    EnableControl(vid::kAlarmValueLabel, alarm);
    EnableControl(vid::kAlarmValueCombo, alarm);
  }
  void OnNotify(int id, int code, intptr_t param) override {
    if (code == CMessageTextEdit::kFocusNotify && param == 1 && (id == vid::kOneText || id == vid::kZeroText))
      m_pLastSwitchText = id == vid::kOneText ? &m_one : &m_zero;
    MessageSettingsDialog::OnNotify(id, code, param);
  }
  bool OnVariantCommand(int id, int code) override {
    if (id != vid::kSwitchGetCharacter || code != ui::BN_CLICKED) return false;
    CMessageTextEdit* target = m_pLastSwitchText ? m_pLastSwitchText : CurrentEditor();
    if (target) target->InsertSymbol();
    return true;
  }

 private:
  CMessageTextEdit m_one, m_zero;
  CMessageTextEdit* m_pLastSwitchText = nullptr;
};

// ---- The send text of static texts and of character and text messages.

// Length of the send text of a send type, 0 when it sends none.
int SendTextLength(uint8_t sendType) {
  return sendType == dx470::kTypeCharacter ? 1 : sendType == dx470::kTypeText14 ? 14 : 0;
}

class TextMessageDialog : public MessageSettingsDialog {
 public:
  TextMessageDialog()
      : MessageSettingsDialog(
            MessageSettingsTemplate(
                id::kTextTemplate,
                {{vid::kSendTextGroup, ControlKind::GroupBox, "Send text???", {7, 150, 386, 30}, 0},
                 {vid::kSendText, ControlKind::OwnerDraw, "", {14, 161, 250, 16}, kTab},
                 {vid::kTextGetCharacter,
                  ControlKind::PushButton,
                  "Get character???",
                  {272, 162, 70, 14},
                  kTab}},
                32),
            560) {}

 protected:
  bool OnInitDialog() override {
    SetDlgItemText(vid::kSendTextGroup, Translate("Send text"));
    SetDlgItemText(vid::kTextGetCharacter, Translate("Get character"));
    AttachEditor(vid::kSendText, m_send);
    EnableControl(vid::kSendText, SendTextLength(m_sendType) > 0);
    const bool result = MessageSettingsDialog::OnInitDialog();
    UpdateGetCharacter();
    return result;
  }
  void Exchange(bool save) override {
    MessageSettingsDialog::Exchange(save);
    const int length = SendTextLength(m_sendType);
    if (length == 0) return;
    if (save)
      m_send.GetText(m_record.SendData, length);
    else
      m_send.SetText(m_record.SendData, length);
  }
  void ApplyFont(const dx470::ZEICHENSATZ* font, int index) override { m_send.SetFont(font, index); }
  void VariantEditors(std::vector<CMessageTextEdit*>& editors) override { editors.push_back(&m_send); }
  void OnNotify(int id, int code, intptr_t param) override {
    MessageSettingsDialog::OnNotify(id, code, param);
    UpdateGetCharacter();
  }
  bool OnVariantCommand(int id, int code) override {
    if (id != vid::kTextGetCharacter || code != ui::BN_CLICKED) return false;
    m_send.InsertSymbol();
    return true;
  }
  // Only while the send text has the focus (or the button took it from
  // there) and has room.
  void UpdateGetCharacter() {
    const bool focused = CurrentEditor() == &m_send;
    EnableControl(vid::kTextGetCharacter, focused && SendTextLength(m_sendType) > 0 && !m_send.IsFull());
  }

  CMessageTextEdit m_send;
};

class StaticTextMessageDialog : public MessageSettingsDialog {
 public:
  StaticTextMessageDialog()
      : MessageSettingsDialog(
            MessageSettingsTemplate(
                id::kStaticTemplate,
                {{vid::kConfirmCheck,
                  ControlKind::AutoCheckBox,
                  "Show confirmation text???",
                  {14, 154, 150, 10},
                  kTab},
                 {vid::kConfirmLabel, ControlKind::Static, "Confirmation text???", {14, 172, 72, 8}, 0},
                 {vid::kConfirmText, ControlKind::OwnerDraw, "", {88, 168, 250, 16}, kTab},
                 {vid::kSendValuesGroup, ControlKind::GroupBox, "Send values???", {7, 188, 230, 28}, 0},
                 {vid::kBinaryLabel, ControlKind::Static, "Binary send value:???", {14, 201, 86, 8}, 0},
                 {vid::kBinaryCombo, ControlKind::ComboBox, "", {102, 199, 98, 50}, kTab},
                 {vid::kSendTextGroup, ControlKind::GroupBox, "Send text???", {7, 188, 386, 30}, 0},
                 {vid::kSendText, ControlKind::OwnerDraw, "", {14, 199, 250, 16}, kTab},
                 {vid::kTextGetCharacter,
                  ControlKind::PushButton,
                  "Get character???",
                  {272, 200, 70, 14},
                  kTab}},
                70),
            550) {}

 protected:
  bool OnInitDialog() override {
    SetDlgItemText(vid::kConfirmCheck, Translate("Show confirmation text"));
    SetDlgItemText(vid::kConfirmLabel, Translate("Confirmation text"));
    SetDlgItemText(vid::kSendValuesGroup, Translate("Send values"));
    SetDlgItemText(vid::kBinaryLabel, Translate("Binary send value:"));
    SetDlgItemText(vid::kSendTextGroup, Translate("Send text"));
    SetDlgItemText(vid::kTextGetCharacter, Translate("Get character"));
    FillBinaryCombo(*this, false);
    AttachEditor(vid::kConfirmText, m_confirm);
    AttachEditor(vid::kSendText, m_send);
    const bool sendsText = SendTextLength(m_sendType) > 0, sendsSwitch = m_sendType == dx470::kTypeSwitch;
    for (int id : {vid::kSendTextGroup, vid::kSendText, vid::kTextGetCharacter}) ShowControl(id, sendsText);
    for (int id : {vid::kSendValuesGroup, vid::kBinaryLabel, vid::kBinaryCombo}) ShowControl(id, !sendsText);
    EnableControl(vid::kBinaryLabel, sendsSwitch);
    EnableControl(vid::kBinaryCombo, sendsSwitch);
    // Without anything to send there is nothing to confirm.
    EnableControl(vid::kConfirmCheck, sendsText || sendsSwitch);
    const bool result = MessageSettingsDialog::OnInitDialog();
    UpdateConfirm();
    return result;
  }
  void Exchange(bool save) override {
    MessageSettingsDialog::Exchange(save);
    uint8_t* bytes = m_record.TypeSpecific;
    const int length = SendTextLength(m_sendType);
    if (save) {
      bytes[0] = uint8_t((bytes[0] & ~1u) | (GetCheck(vid::kConfirmCheck) == ui::BST_CHECKED ? 1u : 0u));
      m_confirm.GetText(bytes + 1, kConfirmLength);
      if (length > 0)
        m_send.GetText(m_record.SendData, length);
      else if (m_sendType == dx470::kTypeSwitch)
        ExchangeBinaryCombo(*this, m_record, true);
    } else {
      SetCheck(vid::kConfirmCheck, (bytes[0] & 1) ? ui::BST_CHECKED : ui::BST_UNCHECKED);
      m_confirm.SetText(bytes + 1, kConfirmLength);
      if (length > 0)
        m_send.SetText(m_record.SendData, length);
      else
        ExchangeBinaryCombo(*this, m_record, false);
      UpdateConfirm();
    }
  }
  void ApplyFont(const dx470::ZEICHENSATZ* font, int index) override {
    m_confirm.SetFont(font, index);
    m_send.SetFont(font, index);
  }
  void VariantEditors(std::vector<CMessageTextEdit*>& editors) override {
    editors.push_back(&m_confirm);
    editors.push_back(&m_send);
  }
  bool OnVariantCommand(int id, int code) override {
    if (id == vid::kConfirmCheck && code == ui::BN_CLICKED) {
      UpdateConfirm();
      return true;
    }
    if (id == vid::kTextGetCharacter && code == ui::BN_CLICKED) {
      m_send.InsertSymbol();
      return true;
    }
    return false;
  }
  void UpdateConfirm() {
    const bool enabled =
        IsControlEnabled(vid::kConfirmCheck) && GetCheck(vid::kConfirmCheck) == ui::BST_CHECKED;
    EnableControl(vid::kConfirmText, enabled);
    EnableControl(vid::kConfirmLabel, IsControlEnabled(vid::kConfirmCheck));
  }

 private:
  CMessageTextEdit m_confirm, m_send;
};

}  // namespace

std::unique_ptr<MessageSettingsDialog> MakeMessageSettings(dx470::PARAM& param, int slot,
                                                           uint8_t receiveType) {
  std::unique_ptr<MessageSettingsDialog> dialog;
  switch (receiveType) {
    case dx470::kTypeStaticText: dialog = std::make_unique<StaticTextMessageDialog>(); break;
    case dx470::kTypeSwitch: dialog = std::make_unique<SwitchMessageDialog>(); break;
    case dx470::kTypeCharacter:
    case dx470::kTypeText14: dialog = std::make_unique<TextMessageDialog>(); break;
    case dx470::kTypeTime: dialog = MakeTimeMessageDialog(); break;
    case dx470::kTypeDate: dialog = MakeDateMessageDialog(); break;
    case dx470::kTypeValue8:
    case dx470::kTypeFloat16:
    case dx470::kTypeFloat32:
    case dx470::kTypeCounter8:
    case dx470::kTypeCounter16:
    case dx470::kTypeCounter32: dialog = MakeValueMessageDialog(); break;
    default: return nullptr;
  }
  dialog->Load(param, slot);
  return dialog;
}

int RunMessageSettings(dx470::PARAM& param, int slot, uint8_t receiveType) {
  std::unique_ptr<MessageSettingsDialog> dialog = MakeMessageSettings(param, slot, receiveType);
  return dialog ? dialog->DoModal() : ui::IDCANCEL;
}

}  // namespace editor
