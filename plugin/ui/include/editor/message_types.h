#pragma once
// MessageTypesDialog ("Message types"): the receive and send type of a new
// message. On OK the slot gets its types, the display position after the
// last shown message and the default record of its types.
#include "data/records.h"
#include "ui/dialog.h"

namespace editor {

namespace id {
constexpr int kTypesTemplate = 209, kTypesHelpContext = 400;
constexpr int kReceiveLabel = 1001, kReceiveCombo = 1002, kSignedCheck = 1003, kSendLabel = 1004,
              kSendCombo = 1005;
}  // namespace id

class MessageTypesDialog : public ui::Dialog {
 public:
  // Works on `param` (the caller's private copy) and `slot`.
  MessageTypesDialog(dx470::PARAM& param, int slot);

  // The send types a receive type allows, in code order ("unused" first).
  static std::vector<uint8_t> SendTypesFor(uint8_t receive);

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnOK() override;
  void OnHelp() override;

 private:
  uint8_t SelectedReceive() const;
  void FillSendTypes();

  dx470::PARAM& m_param;
  int m_nSlot;
};

ui::DialogTemplate MessageTypesTemplate();
int RunMessageTypes(dx470::PARAM& param, int slot);

}  // namespace editor
