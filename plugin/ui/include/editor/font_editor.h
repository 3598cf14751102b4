#pragma once
// FontEditorDialog: the character range, height and special characters of
// one device font, its glyphs in the character grid (double click opens the
// character editor), font files, a copy of the other font and characters
// rasterised from a screen font. It works on a copy of the font that the
// caller keeps only on OK.
#include <array>
#include <string>

#include "editor/character_picker.h"

namespace editor {

namespace id {
constexpr int kFontEditorTemplate = 212, kFontEditorHelpContext = 730;
constexpr int kFirstCombo = 321, kDefaultCombo = 322, kHeightCombo = 323, kLastCombo = 324,
              kUnknownCombo = 325, kDecimalCombo = 326;
constexpr int kImport = 333, kExport = 334, kGetCopy = 335, kFromScreenFont = 336;
constexpr int kFirstLabel = 341;  // labels of the six combos, 341..346
constexpr int kGetFontTemplate = 214;
constexpr int kGetFontCopyLabel = 339, kGetFontTarget = 340, kGetFontCombo = 338;
}  // namespace id

ui::DialogTemplate FontEditorTemplate();

class FontEditorDialog : public CharacterPickerDialog {
 public:
  // `param` supplies the other font for "Get copy".
  FontEditorDialog(dx470::ZEICHENSATZ& font, int fontNumber, const dx470::PARAM& param);

  const std::string& LastFile() const { return m_strFile; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnOK() override;
  void OnHelp() override;
  void OnActivate(int code) override;

 private:
  void UpdateTitle();
  void LoadControls();
  void OnFirstChanged();
  void OnLastChanged();
  void OnSpecialChanged(int comboId);
  bool AcceptSettings();
  void ShowInfo(const std::string& text);
  void RestoreCombos();
  void ShiftGlyphs(int oldFirst, int newFirst);
  void Import();
  void Export();
  void GetCopy();
  void FromScreenFont();
  std::string Filter() const;

  dx470::ZEICHENSATZ& m_font;
  const dx470::PARAM& m_param;
  // The last accepted combo indices: first, last, default, unknown, decimal.
  std::array<int, 5> m_accepted{-1, -1, -1, -1, -1};
  std::string m_strFile;
};

// "Get font": which other font to copy over the edited one (font number
// `fontNumber` 0 or 1 is the edited one).
class GetFontDialog : public ui::Dialog {
 public:
  explicit GetFontDialog(int fontNumber);
  static ui::DialogTemplate Template();
  int Chosen() const { return m_nChosen; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnOK() override;
  void OnHelp() override;

 private:
  int m_nFontNumber;
  int m_nChosen = -1;
};

// Rasterises every character of `font` (from its first code on) with the
// screen font the user chooses in the font dialog; false when cancelled.
bool WindowsFontImporter(ui::PlatformServices& services, dx470::ZEICHENSATZ& font);

// Runs the font editor on `font` (font `index` of `param`).
int RunFontEditor(dx470::ZEICHENSATZ& font, int index, const dx470::PARAM& param);

}  // namespace editor
