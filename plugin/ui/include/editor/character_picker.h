#pragma once
// CharacterPickerDialog ("Get symbol"): the character grid of one font with
// the selection's description; OK takes the selected code when it is
// available. The font editor builds on the same dialog.
#include <cstdint>

#include "editor/character_grid.h"
#include "ui/dialog.h"
#include "ui/services.h"

namespace editor {

namespace id {
constexpr int kPickerTemplate = 211, kPickerHelpContext = 720;
constexpr int kGrid = 310, kCharacterLabel = 311, kCharacterDescription = 312;
}  // namespace id

ui::DialogTemplate CharacterPickerTemplate();

class CharacterPickerDialog : public ui::Dialog {
 public:
  // `fontNumber` 0 or 1; the picker starts on `code`.
  CharacterPickerDialog(const dx470::ZEICHENSATZ& font, CharacterGrid::Mode mode, int fontNumber,
                        int code = 32);

  int SelectedCode() const { return m_oGrid.Selected(); }
  bool SelectedAvailable() const { return m_oGrid.SelectedAvailable(); }

 protected:
  CharacterPickerDialog(ui::DialogTemplate tmpl, const dx470::ZEICHENSATZ& font, CharacterGrid::Mode mode,
                        int fontNumber, int code);
  bool OnInitDialog() override;
  void OnNotify(int id, int code, intptr_t param) override;
  void OnCommand(int id, int code) override;
  void OnHelp() override;
  // Places grid, labels and buttons from (left, top) and returns the
  // bottom of the buttons; the client width is at least `minWidth`.
  int LayOut(int left, int top, int minWidth);
  // Font editor mode: a double-clicked available code.
  virtual void OnActivate(int code) { (void)code; }

  const dx470::ZEICHENSATZ* m_pFont;
  CharacterGrid::Mode m_mode;
  int m_nFontNumber;
  int m_nStartCode;
  CharacterGrid m_oGrid;
};

// Runs the picker on `font`; true with `chosen` set when the user took an
// available character.
bool PickCharacter(ui::PlatformServices& services, const dx470::ZEICHENSATZ& font, int fontIndex,
                   uint8_t& chosen);

}  // namespace editor
