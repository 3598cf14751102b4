// The main dialog: opening, the list refresh in display order, the button
// states and the commands.
#include "editor/main_dialog.h"

#include <cstring>
#include <memory>

#include "data/blockinfo.h"
#include "data/dx470data.h"
#include "data/msgtypes.h"
#include "data/positions.h"
#include "editor/character_editor.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/services.h"
#include "win/profile.h"

namespace editor {
namespace {

constexpr int kUnsetPosition = 99999;
constexpr const char* kSection = "Settings";

win::Profile AppProfile() { return win::Profile("Vornak", "DX47x"); }

int CheckBoxOfRow(int row) { return id::kFirstCheckBox + row; }

bool SignedFlag(const dx470::MELDUNGSPEZIFISCHE_PARAMETER& m) {
  return (m.TypeSpecific[dx470::kRecValueFlags - 100] & dx470::kValueFlagSigned) != 0;
}

std::string TypeText(uint8_t code, bool signedValues) {
  std::string name = Translate(dx470::TypeName(code));
  if (signedValues && dx470::IsCounterType(code)) return Translate("signed") + " " + name;
  return name;
}

// The first text row as the list shows it: up to its first NUL.
std::string FirstRow(const dx470::MELDUNGSPEZIFISCHE_PARAMETER& m) {
  const auto* row = reinterpret_cast<const char*>(m.Text[0]);
  return std::string(row, strnlen(row, sizeof m.Text[0]));
}

}  // namespace

DX470MainDialog::DX470MainDialog(CDX470Data& data, const EditorDialogs& dialogs)
    : Dialog(MainDialogTemplate()),
      m_oDX470Data(data),
      m_param(data.Param()),
      m_dialogs(dialogs),
      m_oMessageList(&data.Param()),
      m_oLog("DX470") {
  ResetCharacterClipboard();
}

std::string DX470MainDialog::ReceiveTypeText(uint8_t receive, bool signedValues) {
  return TypeText(receive, signedValues);
}

std::string DX470MainDialog::SendTypeText(uint8_t receive, uint8_t send, bool signedValues) {
  if (TypeText(receive, signedValues).empty()) return {};
  if (send == 0) return TypeText(0, false);
  const bool staticText =
      receive == dx470::kTypeStaticText &&
      (send == dx470::kTypeSwitch || send == dx470::kTypeCharacter || send == dx470::kTypeText14);
  const bool same = send == receive && (receive == dx470::kTypeSwitch || receive == dx470::kTypeValue8 ||
                                        (receive >= dx470::kTypeFloat16 && receive <= dx470::kTypeText14));
  return staticText || same ? TypeText(send, signedValues) : std::string();
}

bool DX470MainDialog::OnInitDialog() {
  m_oLog.Trace(TRACE_LEVEL_INFO, "DX470MainDialog (OnInitDialog)");
  // The About item joins the system menu only with a text to show.
  if (std::string about = Translate("&About"); !about.empty()) AddSystemMenuItem(id::kSysAbout, about);
  PlaceWindow();
  SetIcon(id::kMainIcon);
  ReadDeviceTexts();
  SetWindowText(m_strPhysicalAddress + "  " + m_strDeviceName);
  TranslateTexts();
  ShowControl(id::kGroupAddr, false);
  ShowControl(id::kGeneralGroupAddr, false);

  Attach(id::kList, m_oMessageList);
  SetTabStops(id::kList, {80, 170});
  ResetContent(id::kList);
  for (int i = 0; i < CMessageListBox::kRowCount; ++i) AddString(id::kList, "");
  CMessageListBox::LayoutIds ids;
  for (int row = 0; row < CMessageListBox::kRowCount; ++row) ids.checkBoxes[size_t(row)] = CheckBoxOfRow(row);
  ids.messageHeader = id::kMessageHeader;
  ids.rowNumbers = id::kRowNumbers;
  ids.textHeader = id::kTextHeader;
  ids.receiveHeader = id::kReceiveHeader;
  ids.sendHeader = id::kSendHeader;
  ids.usedHeader = id::kUsedHeader;
  m_oMessageList.Layout(ids);
  SetDlgItemText(id::kMessageHeader, Translate("Message"));

  // Commands whose dialogs this build does not have stay disabled.
  EnableMenuItem(id::kMenuImport, bool(m_dialogs.importTexts));
  EnableMenuItem(id::kMenuExport, bool(m_dialogs.exportTexts));
  EnableMenuItem(id::kMenuNew, bool(m_dialogs.messageTypes));
  EnableMenuItem(id::kMenuEdit, bool(m_dialogs.messageSettings));
  EnableMenuItem(id::kMenuGeneral, bool(m_dialogs.generalParameters));
  EnableMenuItem(id::kMenuPrint, bool(m_dialogs.printDocumentation));
  EnableMenuItem(id::kMenuFont1, bool(m_dialogs.fontEditor));
  EnableMenuItem(id::kMenuFont2, bool(m_dialogs.fontEditor));
  EnableMenuItem(id::kMenuAbout, bool(m_dialogs.about));
  EnableMenuItem(id::kSysAbout, bool(m_dialogs.about));

  Refresh();
  UpdateData(false);
  // The list holds the focus first, and takes it back from any control
  // that disables itself.
  SetFocusHome(id::kList);
  SetFocus(id::kList);
  return false;
}

void DX470MainDialog::PlaceWindow() {
  win::Profile profile = AppProfile();
  int x = profile.GetProfileInt(kSection, "MainPositionX", kUnsetPosition);
  int y = profile.GetProfileInt(kSection, "MainPositionY", kUnsetPosition);
  ui::PlatformServices& services = Services();
  // A window whose frame would reach past the screen is centred instead.
  if (int64_t(x) + WindowWidth() > services.ScreenWidth()) x = kUnsetPosition;
  if (int64_t(y) + WindowHeight() > services.ScreenHeight()) y = kUnsetPosition;
  if (x < 0 || y < 0 || x == kUnsetPosition || y == kUnsetPosition)
    CenterWindow();
  else
    MoveWindow(x, y);
}

void DX470MainDialog::ReadDeviceTexts() {
  if (HRESULT hr = m_oDX470Data.EtsGetPhysicalAddress(m_strPhysicalAddress); FAILED(hr))
    TRACE_FAILED(m_oLog, "m_oDX470Data.EtsGetPhysicalAddress", hr);
  if (HRESULT hr = m_oDX470Data.EtsGetDeviceName(m_strDeviceName); FAILED(hr))
    TRACE_FAILED(m_oLog, "m_oDX470Data.EtsGetDeviceName", hr);
  std::string type, version;
  if (HRESULT hr = m_oDX470Data.EtsApplicationDeviceType(type); FAILED(hr))
    TRACE_FAILED(m_oLog, "m_oDX470Data.EtsApplicationDeviceType", hr);
  if (HRESULT hr = m_oDX470Data.EtsApplicationVersion(version); FAILED(hr))
    TRACE_FAILED(m_oLog, "m_oDX470Data.EtsApplicationVersion", hr);
  m_strApplication = type + version;
}

void DX470MainDialog::TranslateTexts() {
  static const struct {
    int id;
    const char* key;
  } kControls[] = {
      {ui::IDOK, "OK"},
      {ui::IDCANCEL, "Cancel"},
      {id::kHelp, "Help"},
      {id::kGeneralGroupAddr, "Gener&al Group addr."},
      {id::kNew, "&New"},
      {id::kEdit, "&Edit"},
      {id::kDelete, "De&lete"},
      {id::kMoveUp, "Move &up"},
      {id::kMoveDown, "Move &down"},
      {id::kGroupAddr, "&Group addr."},
      {id::kMessageHeader, "Message"},
      {id::kTextHeader, "Message text"},
      {id::kReceiveHeader, "Receive type"},
      {id::kSendHeader, "Send type"},
      {id::kUsedHeader, "Used"},
  };
  for (const auto& c : kControls) SetDlgItemText(c.id, Translate(c.key));
  static const struct {
    const char* resource;
    const char* key;
  } kPopups[] = {
      {"&File???", "&File"},   {"&Message???", "&Message"}, {"E&xtras???", "E&xtras"},
      {"&Fonts???", "&Fonts"}, {"&Help???", "Help"},
  };
  for (const auto& p : kPopups) SetMenuPopupText(p.resource, Translate(p.key));
  static const struct {
    int id;
    const char* key;
  } kItems[] = {
      {id::kMenuImport, "&Import texts"},
      {id::kMenuExport, "&Export texts"},
      {id::kMenuNew, "&New"},
      {id::kMenuEdit, "&Edit"},
      {id::kMenuDelete, "&Delete"},
      {id::kMenuGeneral, "&General parameters"},
      {id::kMenuPrint, "&Print documentation"},
      {id::kMenuFont1, "&1. font"},
      {id::kMenuFont2, "&2. font"},
      {id::kMenuHelp, "Help"},
      {id::kMenuAbout, "&About"},
  };
  for (const auto& i : kItems) SetMenuItemText(i.id, Translate(i.key));
}

int DX470MainDialog::CurrentSlot() const { return dx470::SlotAtRow(m_param, m_nCurrentRow); }
bool DX470MainDialog::Defined(int slot) const { return slot >= 0 && m_param.MessageKind[slot] != 0; }
bool DX470MainDialog::Used(int slot) const { return slot >= 0 && m_param.Lcd.Messages[slot].Position != 0; }

void DX470MainDialog::Refresh() {
  const auto order = dx470::SlotsInDisplayOrder(m_param);
  for (int row = 0; row < CMessageListBox::kRowCount; ++row) {
    const int slot = order[size_t(row)];
    const dx470::MELDUNGSPEZIFISCHE_PARAMETER& m = m_param.Lcd.Messages[slot];
    SetDlgItemText(id::kRowNumbers[size_t(row)], std::to_string(slot + 1));
    SetCheck(CheckBoxOfRow(row), m.Position != 0 ? ui::BST_CHECKED : ui::BST_UNCHECKED);
    const uint8_t receive = m_param.MessageKind[slot];
    if (receive != 0) {
      const bool signedValues = SignedFlag(m);
      m_oMessageList.SetRow(row, true, m.HighlightedFont, FirstRow(m), ReceiveTypeText(receive, signedValues),
                            SendTypeText(receive, m_param.MessageType[slot], signedValues));
    } else {
      m_oMessageList.SetRow(row, false, 0, {}, {}, {});
    }
  }
  InvalidateControl(id::kList);
  SetCurSel(id::kList, m_nCurrentRow);
  m_oMessageList.UpdateCheckBoxes();
  UpdateButtonStates();
}

void DX470MainDialog::UpdateButtonStates() {
  const int slot = CurrentSlot();
  const bool used = Used(slot);
  const int shown = dx470::ShownMessageCount(m_param);
  const int free = dx470::kSlotCount - dx470::DefinedMessageCount(m_param);
  EnableControl(id::kMoveUp, used && m_nCurrentRow >= 1);
  EnableControl(id::kMoveDown, used && m_nCurrentRow + 1 < shown);
  EnableControl(id::kNew, free >= 1 && m_dialogs.messageTypes);
  EnableControl(id::kEdit, Defined(slot) && m_dialogs.messageSettings);
  EnableControl(id::kDelete, Defined(slot));
  EnableControl(id::kGroupAddr, used);
  for (int row = 0; row < CMessageListBox::kRowCount; ++row)
    EnableControl(CheckBoxOfRow(row), row == m_nCurrentRow && Defined(slot));
}

void DX470MainDialog::OnCommand(int id, int code) {
  if (id >= id::kFirstCheckBox && id < id::kFirstCheckBox + CMessageListBox::kRowCount) {
    if (code == ui::BN_CLICKED) OnUsed();
    return;
  }
  if (id == id::kList) {
    if (code == ui::LBN_SELCHANGE)
      OnSelectionChange();
    else if (code == ui::LBN_DBLCLK)
      OnDoubleClick();
    return;
  }
  if (code != ui::BN_CLICKED) return;
  switch (id) {
    case id::kNew:
    case id::kMenuNew: OnNew(); return;
    case id::kEdit:
    case id::kMenuEdit: OnEditMessage(); return;
    case id::kDelete:
    case id::kMenuDelete: OnDeleteMessage(); return;
    case id::kMoveUp: OnMove(true); return;
    case id::kMoveDown: OnMove(false); return;
    case id::kHelp:
    case id::kMenuHelp: OnHelp(); return;
    case id::kMenuImport: OnImportExport(true); return;
    case id::kMenuExport: OnImportExport(false); return;
    case id::kMenuGeneral:
      if (m_dialogs.generalParameters) m_dialogs.generalParameters(m_param);
      return;
    case id::kMenuPrint:
      if (m_dialogs.printDocumentation) m_dialogs.printDocumentation(m_oDX470Data);
      return;
    case id::kMenuFont1: OnFont(0); return;
    case id::kMenuFont2: OnFont(1); return;
    case id::kMenuAbout:
    case id::kSysAbout:
      if (m_dialogs.about) m_dialogs.about(m_strDeviceName, m_strApplication);
      return;
    case id::kGroupAddr:
    case id::kGeneralGroupAddr: return;  // hidden
    default: Dialog::OnCommand(id, code);
  }
}

void DX470MainDialog::OnSelectionChange() {
  m_nCurrentRow = GetCurSel(id::kList);
  UpdateButtonStates();
}

void DX470MainDialog::OnDoubleClick() {
  if (Defined(CurrentSlot()))
    OnEditMessage();
  else
    OnNew();
}

void DX470MainDialog::OnNew() {
  const int slot = dx470::FirstFreeSlot(m_param);
  if (slot < 0 || !m_dialogs.messageTypes) return;
  auto copy = std::make_unique<dx470::PARAM>(m_param);
  if (m_dialogs.messageTypes(*copy, slot) != ui::IDOK) return;
  m_param = *copy;
  m_nCurrentRow = dx470::RowOfSlot(m_param, slot);
  Refresh();
  UpdateData(false);
  OnEditMessage();
}

void DX470MainDialog::OnEditMessage() {
  if (!UpdateData(true)) return;
  const int slot = CurrentSlot();
  if (!Defined(slot) || !m_dialogs.messageSettings) return;
  m_dialogs.messageSettings(m_param, slot, m_param.MessageKind[slot]);
  Refresh();
  UpdateData(false);
}

void DX470MainDialog::OnDeleteMessage() {
  ui::MessageBoxSpec box{
      Translate("Delete message"),
      Translate("Do you really want to delete the message and all connected associations?"),
      ui::Buttons::YesNo,
      ui::Icon::Question,
      0,
      true};
  if (Services().MessageBox(box) != ui::IDYES) return;
  const int slot = CurrentSlot();
  if (Defined(slot)) {
    dx470::DeleteMessage(m_param, slot, Translate("Text?"));
    if (m_nCurrentRow >= 1 && m_nCurrentRow >= dx470::ShownMessageCount(m_param)) --m_nCurrentRow;
  }
  Refresh();
  UpdateData(false);
}

void DX470MainDialog::OnMove(bool up) {
  if (!UpdateData(true)) return;
  const int slot = CurrentSlot();
  if (!Used(slot)) return;
  const int row = dx470::MoveMessage(m_param, slot, up);
  if (row >= 0) m_nCurrentRow = row;
  Refresh();
  UpdateData(false);
  const int pressed = up ? id::kMoveUp : id::kMoveDown, opposite = up ? id::kMoveDown : id::kMoveUp;
  if (!IsControlEnabled(pressed) && IsControlEnabled(opposite)) SetFocus(opposite);
}

void DX470MainDialog::OnUsed() {
  const int slot = CurrentSlot();
  if (Used(slot))
    dx470::SwitchMessageOff(m_param, slot);
  else if (Defined(slot))
    dx470::SwitchMessageOn(m_param, slot);
  else
    return;
  m_nCurrentRow = dx470::RowOfSlot(m_param, slot);
  Refresh();
  UpdateData(false);
}

void DX470MainDialog::OnFont(int index) {
  if (!m_dialogs.fontEditor) return;
  auto font = std::make_unique<dx470::ZEICHENSATZ>(m_param.Lcd.Fonts[index]);
  if (m_dialogs.fontEditor(*font, index, m_param) == ui::IDOK) m_param.Lcd.Fonts[index] = *font;
  Refresh();
  UpdateData(false);
}

void DX470MainDialog::OnImportExport(bool import) {
  const auto& run = import ? m_dialogs.importTexts : m_dialogs.exportTexts;
  if (!run) return;
  if (run(m_oDX470Data, m_strLastTextFile) == ui::IDOK && import) m_nCurrentRow = 0;
  Refresh();
  UpdateData(false);
}

void DX470MainDialog::OnHelp() { Services().ShowHelp(PluginApp().HelpFilePath(), id::kMainHelpContext); }

bool DX470MainDialog::Close() {
  if (!UpdateData(true)) {
    Services().MessageBox(
        {Translate("Error"), Translate("Failed to save data!"), ui::Buttons::Ok, ui::Icon::Stop, 0, true});
    return false;
  }
  dx470::UpdateBlockInformation(m_param);
  return true;
}

void DX470MainDialog::OnOK() {
  // Nothing unchecked is saved: a failed transfer keeps the dialog open.
  if (Close()) EndDialog(ui::IDOK);
}

void DX470MainDialog::OnCancel() {
  if (Close()) EndDialog(ui::IDCANCEL);
}

// Runs whenever the window goes away (OK, Cancel, the close box): the
// runners always know where it was, moved or not.
void DX470MainDialog::OnDestroy() {
  if (auto position = WindowPosition()) {
    win::Profile profile = AppProfile();
    profile.WriteProfileInt(kSection, "MainPositionX", position->x);
    profile.WriteProfileInt(kSection, "MainPositionY", position->y);
  }
}

}  // namespace editor
