#include "editor/message_types.h"

#include "data/defaults.h"
#include "data/msgtypes.h"
#include "data/positions.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/services.h"

namespace editor {
namespace {

// The receive types in the order the combo offers them.
constexpr uint8_t kReceiveOrder[] = {dx470::kTypeSwitch,     dx470::kTypeValue8,    dx470::kTypeFloat16,
                                     dx470::kTypeFloat32,    dx470::kTypeCounter8,  dx470::kTypeCounter16,
                                     dx470::kTypeCounter32,  dx470::kTypeTime,      dx470::kTypeDate,
                                     dx470::kTypeStaticText, dx470::kTypeCharacter, dx470::kTypeText14};
constexpr int kHelp = 9;

}  // namespace

ui::DialogTemplate MessageTypesTemplate() {
  using ui::ControlKind;
  ui::DialogTemplate t;
  t.id = id::kTypesTemplate;
  t.caption = "Message types???";
  t.cx = 236;
  t.cy = 92;
  t.controls = {
      {id::kReceiveLabel, ControlKind::Static, "Message type on receive???", {7, 9, 100, 8}, 0},
      {id::kReceiveCombo, ControlKind::ComboBox, "", {110, 7, 119, 120}, ui::kTabStop | ui::kVScroll},
      {id::kSignedCheck, ControlKind::AutoCheckBox, "Signed values???", {110, 25, 119, 10}, ui::kTabStop},
      {id::kSendLabel, ControlKind::Static, "Message type on send???", {7, 45, 100, 8}, 0},
      {id::kSendCombo, ControlKind::ComboBox, "", {110, 43, 119, 120}, ui::kTabStop | ui::kVScroll},
      {ui::IDOK, ControlKind::DefPushButton, "OK???", {22, 70, 58, 14}, ui::kTabStop},
      {ui::IDCANCEL, ControlKind::PushButton, "Cancel?????", {89, 70, 58, 14}, ui::kTabStop},
      {kHelp, ControlKind::PushButton, "Help???", {156, 70, 58, 14}, ui::kTabStop},
  };
  return t;
}

MessageTypesDialog::MessageTypesDialog(dx470::PARAM& param, int slot)
    : Dialog(MessageTypesTemplate()), m_param(param), m_nSlot(slot) {}

std::vector<uint8_t> MessageTypesDialog::SendTypesFor(uint8_t receive) {
  std::vector<uint8_t> types;
  for (uint8_t code = 0; code < dx470::kTypeCodeCount; ++code) {
    const bool allowed =
        code == dx470::kTypeUnused ||
        (receive == dx470::kTypeStaticText &&
         (code == dx470::kTypeSwitch || code == dx470::kTypeCharacter || code == dx470::kTypeText14)) ||
        (code == receive && receive != dx470::kTypeStaticText && receive != dx470::kTypeTime &&
         receive != dx470::kTypeDate && receive != dx470::kTypeUnused);
    if (allowed) types.push_back(code);
  }
  return types;
}

bool MessageTypesDialog::OnInitDialog() {
  SetWindowText(Translate("Message types"));
  SetDlgItemText(id::kReceiveLabel, Translate("Message type on receive"));
  SetDlgItemText(id::kSendLabel, Translate("Message type on send"));
  SetDlgItemText(id::kSignedCheck, Translate("Signed values"));
  SetDlgItemText(ui::IDOK, Translate("OK"));
  SetDlgItemText(ui::IDCANCEL, Translate("Cancel"));
  SetDlgItemText(kHelp, Translate("Help"));
  for (uint8_t code : kReceiveOrder)
    SetItemData(id::kReceiveCombo, AddString(id::kReceiveCombo, Translate(dx470::TypeName(code))), code);
  const bool valid = m_nSlot >= 0 && m_nSlot < dx470::kSlotCount;
  const int current = valid ? FindItemData(id::kReceiveCombo, m_param.MessageKind[m_nSlot]) : -1;
  SetCurSel(id::kReceiveCombo, current >= 0 ? current : 0);
  FillSendTypes();
  return true;
}

uint8_t MessageTypesDialog::SelectedReceive() const {
  const int sel = GetCurSel(id::kReceiveCombo);
  return sel < 0 ? uint8_t(dx470::kTypeUnused) : uint8_t(GetItemData(id::kReceiveCombo, sel));
}

// The send types follow the receive type; the signed choice exists only
// for counters, and OK only with a receive type.
void MessageTypesDialog::FillSendTypes() {
  const uint8_t receive = SelectedReceive();
  ResetContent(id::kSendCombo);
  for (uint8_t code : SendTypesFor(receive))
    SetItemData(id::kSendCombo, AddString(id::kSendCombo, Translate(dx470::TypeName(code))), code);
  SetCurSel(id::kSendCombo, GetCount(id::kSendCombo) > 1 ? 1 : 0);
  ShowControl(id::kSignedCheck, dx470::IsCounterType(receive));
  EnableControl(ui::IDOK, GetCurSel(id::kReceiveCombo) >= 0);
}

void MessageTypesDialog::OnCommand(int id, int code) {
  if (id == id::kReceiveCombo && code == ui::CBN_SELCHANGE)
    FillSendTypes();
  else if (id == kHelp && code == ui::BN_CLICKED)
    OnHelp();
  else
    Dialog::OnCommand(id, code);
}

void MessageTypesDialog::OnOK() {
  if (GetCurSel(id::kReceiveCombo) < 0 || m_nSlot < 0 || m_nSlot >= dx470::kSlotCount) return;
  const uint8_t receive = SelectedReceive();
  const int sendSel = GetCurSel(id::kSendCombo);
  const uint8_t send =
      sendSel < 0 ? uint8_t(dx470::kTypeUnused) : uint8_t(GetItemData(id::kSendCombo, sendSel));
  const bool signedValues = dx470::IsCounterType(receive) && GetCheck(id::kSignedCheck) == ui::BST_CHECKED;
  m_param.MessageKind[m_nSlot] = receive;
  m_param.MessageType[m_nSlot] = send;
  dx470::MELDUNGSPEZIFISCHE_PARAMETER& record = m_param.Lcd.Messages[m_nSlot];
  record.Position = uint8_t(dx470::ShownMessageCount(m_param) + 1);
  dx470::ResetMessage(record, receive, send, signedValues, Translate("Text?"));
  EndDialog(ui::IDOK);
}

void MessageTypesDialog::OnHelp() { Services().ShowHelp(PluginApp().HelpFilePath(), id::kTypesHelpContext); }

int RunMessageTypes(dx470::PARAM& param, int slot) {
  MessageTypesDialog dialog(param, slot);
  return dialog.DoModal();
}

}  // namespace editor
