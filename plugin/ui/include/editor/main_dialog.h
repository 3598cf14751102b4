#pragma once
// DX470MainDialog: the editor's main dialog. It shows the 16 message slots
// of the device data object in display order and runs the commands on its
// current PARAM: new, edit, delete, reorder, switch on and off, and the
// dialogs of fonts, general parameters, import and export, printing and
// About. The caller writes the data back only when DoModal answers IDOK.
#include <array>
#include <string>

#include "editor/editor_dialogs.h"
#include "editor/message_list.h"
#include "logger/logger.h"
#include "ui/dialog.h"

class CDX470Data;

namespace editor {

namespace id {
constexpr int kNew = 3, kEdit = 4, kDelete = 5, kMoveUp = 6, kMoveDown = 7, kGroupAddr = 8, kHelp = 9,
              kGeneralGroupAddr = 10;
constexpr int kList = 201, kMessageHeader = 202, kTextHeader = 203, kReceiveHeader = 204, kSendHeader = 205,
              kUsedHeader = 206;
constexpr int kFirstCheckBox = 223;  // 223..238, rows 1..16
// Row-number statics of rows 1..16.
constexpr std::array<int, 16> kRowNumbers = {207, 221, 214, 215, 216, 217, 220, 218,
                                             222, 219, 213, 212, 211, 210, 209, 208};
constexpr int kMenuImport = 32768, kMenuExport = 32769, kMenuNew = 32770, kMenuEdit = 32771,
              kMenuDelete = 32772, kMenuGeneral = 32775, kMenuPrint = 32776, kMenuFont1 = 32777,
              kMenuFont2 = 32778, kMenuAbout = 32779, kMenuHelp = 57670, kSysAbout = 0x8010;
constexpr int kMainTemplate = 201, kMainMenu = 204, kMainIcon = 225;
constexpr int kMainHelpContext = 100;
}  // namespace id

ui::DialogTemplate MainDialogTemplate();

class DX470MainDialog : public ui::Dialog {
 public:
  explicit DX470MainDialog(CDX470Data& data, const EditorDialogs& dialogs = RegisteredDialogs());

  int CurrentRow() const { return m_nCurrentRow; }
  CMessageListBox& MessageList() { return m_oMessageList; }

  // Receive-type and send-type texts of a row, translated.
  static std::string ReceiveTypeText(uint8_t receive, bool signedValues);
  static std::string SendTypeText(uint8_t receive, uint8_t send, bool signedValues);

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnOK() override;
  void OnCancel() override;
  void OnHelp() override;
  void OnDestroy() override;

 private:
  void PlaceWindow();
  void ReadDeviceTexts();
  void TranslateTexts();
  void Refresh();
  void UpdateButtonStates();
  int CurrentSlot() const;
  bool Defined(int slot) const;
  bool Used(int slot) const;

  void OnNew();
  void OnEditMessage();
  void OnDeleteMessage();
  void OnMove(bool up);
  void OnUsed();
  void OnFont(int index);
  void OnImportExport(bool import);
  void OnSelectionChange();
  void OnDoubleClick();
  bool Close();

  CDX470Data& m_oDX470Data;
  dx470::PARAM& m_param;
  const EditorDialogs& m_dialogs;
  int m_nCurrentRow = 0;
  std::string m_strLastTextFile;
  std::string m_strPhysicalAddress, m_strDeviceName, m_strApplication;
  CMessageListBox m_oMessageList;
  CLogger m_oLog;
};

}  // namespace editor
