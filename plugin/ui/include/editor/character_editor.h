#pragma once
// CharacterEditorDialog: edits one glyph of a device font in a PixelEditor,
// with Copy and Paste through the process's character clipboard. OK writes
// the glyph back into the font; Cancel leaves the font as it was.
#include <string>

#include "data/records.h"
#include "editor/pixel_editor.h"
#include "ui/dialog.h"

namespace editor {

// The character clipboard: one glyph record shared by every editor dialog
// of the process. Reset (width 4, height 1, empty bitmap) it holds nothing:
// height 1 means that nothing has been copied yet.
void ResetCharacterClipboard();
const dx470::ZEICHEN& CharacterClipboard();
bool CharacterClipboardHoldsGlyph();

ui::DialogTemplate CharacterEditorTemplate();

class CharacterEditorDialog : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 213;
  static constexpr int kHelpContext = 740;
  static constexpr int kEditorId = 1000, kCopyId = 1001, kPasteId = 1002, kWidthSwitchId = 1003,
                       kCoordinatesId = 1004, kHelpId = 1005;

  CharacterEditorDialog();

  // False, and the dialog must not be shown, for the tabulator, the
  // replacement character and codes outside first..last; otherwise the
  // code's glyph is copied into the pixel editor.
  bool SetUp(dx470::ZEICHENSATZ& font, int code);

  PixelEditor& Editor() { return m_oEditor; }
  int Code() const { return m_nCode; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnNotify(int id, int code, intptr_t param) override;
  void OnOK() override;
  void OnHelp() override;

 private:
  void TranslateTexts();
  void Layout();
  void ShowCoordinates();
  void OnCopy();
  void OnPaste();
  void OnWidthSwitch();

  dx470::ZEICHENSATZ* m_pFont = nullptr;
  int m_nCode = 0;
  PixelEditor m_oEditor;
};

// Runs the character editor on `code` of `font` with the process's
// services: ui::IDOK when the glyph was written back, ui::IDCANCEL when
// cancelled or refused (then nothing is shown).
int RunCharacterEditor(dx470::ZEICHENSATZ& font, int code);

}  // namespace editor
