#pragma once
// MessageSettingsDialog: what every message has (three text rows, the two
// fonts, scrolling, object value request, alarm flags), edited on a private
// copy of the slot's record that OK writes back. Each receive type has a
// variant that adds the controls of its type.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "data/records.h"
#include "editor/message_text_edit.h"
#include "ui/dialog.h"

namespace editor {

namespace id {
constexpr int kSetDefault = 3, kSelectSymbol = 5, kTabulator = 6, kReplacement = 7, kSettingsHelp = 9;
constexpr int kRow1 = 1010;  // the three row editors 1010..1012
constexpr int kRowLabel = 1013, kRowHeader = 1016, kMessageTextHeader = 1017, kParameterGroup = 1018;
constexpr int kNormalFontLabel = 1020, kNormalFontCombo = 1021, kHighlightFontLabel = 1022,
              kHighlightFontCombo = 1023, kScrollLabel = 1024, kScrollCombo = 1025, kRequestLabel = 1026,
              kRequestCombo = 1027;
constexpr int kAlarmCheck = 1030, kBeepCheck = 1031, kAlarmOnlyCheck = 1032;
constexpr int kSwitchTemplate = 210, kDateTemplate = 217, kTimeTemplate = 218, kTextTemplate = 219,
              kStaticTemplate = 221, kValueTemplate = 222;
}  // namespace id

// Option bits of record byte 94.
constexpr uint8_t kOptionAlarm = 0x01, kOptionBeep = 0x02, kOptionAlarmOnly = 0x04, kOptionScroll = 0x20,
                  kOptionPolling = 0x40, kOptionAfterReset = 0x80;

// A dialog template with the controls every message dialog has; the
// variant's controls lie in a band of `variantHeight` dialog units from
// kVariantTop on.
constexpr int kVariantTop = 150;
ui::DialogTemplate MessageSettingsTemplate(int templateId, std::vector<ui::ControlSpec> variant,
                                           int variantHeight);

class MessageSettingsDialog : public ui::Dialog {
 public:
  MessageSettingsDialog(ui::DialogTemplate tmpl, int helpContext);

  // Copies the slot's record and types; call before the modal run.
  void Load(dx470::PARAM& param, int slot);
  const dx470::MELDUNGSPEZIFISCHE_PARAMETER& Record() const { return m_record; }

 protected:
  // The variant's own editors after loading.
  virtual void InitVariantControls() {}
  // Record into the controls (`save` false) or back.
  virtual void Exchange(bool save);
  // The OK check.
  virtual bool Validate();
  // The variant's own editors take the chosen normal font.
  virtual void ApplyFont(const dx470::ZEICHENSATZ* font, int index) { (void)font, (void)index; }
  // The variant's own text editors, for the insert buttons' rules.
  virtual void VariantEditors(std::vector<CMessageTextEdit*>& editors) { (void)editors; }
  // Commands of the variant's own controls; true when handled.
  virtual bool OnVariantCommand(int id, int code) {
    (void)id, (void)code;
    return false;
  }
  // Enables the alarm group's controls after the alarm box changed.
  virtual void EnableAlarmControls(bool alarm);

  bool OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnNotify(int id, int code, intptr_t param) override;
  void OnOK() override;
  void OnHelp() override;

  // Gives a variant's editor its place among the dialog's editors.
  void AttachEditor(int id, CMessageTextEdit& editor);
  const dx470::ZEICHENSATZ* NormalFont() const;
  int NormalFontIndex() const;
  CMessageTextEdit* CurrentEditor() const { return m_pCurrentEditor; }
  void UpdateInsertButtons();

  dx470::MELDUNGSPEZIFISCHE_PARAMETER m_record{};
  dx470::MELDUNGSPEZIFISCHE_PARAMETER* m_pTarget = nullptr;
  uint8_t m_receiveType = 0, m_sendType = 0;
  bool m_bSignedValues = false;
  bool m_bReplacementAllowed = false;
  const dx470::ZEICHENSATZ* m_pFonts = nullptr;

 private:
  void ApplyNormalFont();
  void OnSetDefault();
  CMessageTextEdit* EditorOf(int id);
  std::vector<CMessageTextEdit*> AllEditors();

  int m_nHelpContext;
  std::array<CMessageTextEdit, 3> m_rows;
  CMessageTextEdit::ReplacementTable m_replacementTable{};
  CMessageTextEdit* m_pCurrentEditor = nullptr;
  std::string m_strTitle;
};

// The settings dialog of the slot's receive type, run on `param`.
int RunMessageSettings(dx470::PARAM& param, int slot, uint8_t receiveType);
// The variant dialog for a receive type, loaded with the slot (null for an
// empty slot).
std::unique_ptr<MessageSettingsDialog> MakeMessageSettings(dx470::PARAM& param, int slot,
                                                           uint8_t receiveType);

}  // namespace editor
