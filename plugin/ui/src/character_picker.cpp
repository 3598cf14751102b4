#include "editor/character_picker.h"

#include <algorithm>
#include <cstdio>

#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/services.h"

namespace editor {
namespace {

constexpr int kMargin = 10, kButtonWidth = 87, kButtonHeight = 23, kButtonGap = 20, kLabelWidth = 70;

}  // namespace

ui::DialogTemplate CharacterPickerTemplate() {
  using ui::ControlKind;
  ui::DialogTemplate t;
  t.id = id::kPickerTemplate;
  t.caption = "Get symbol???";
  t.cx = 300;
  t.cy = 150;
  t.controls = {
      {id::kGrid, ControlKind::OwnerDraw, "", {7, 7, 280, 90}, ui::kTabStop},
      {id::kCharacterLabel, ControlKind::Static, "Character:???", {7, 102, 45, 8}, 0},
      {id::kCharacterDescription, ControlKind::Static, "", {55, 102, 230, 8}, ui::kNoPrefix},
      {ui::IDOK, ControlKind::DefPushButton, "OK???", {60, 120, 50, 14}, ui::kTabStop},
      {ui::IDCANCEL, ControlKind::PushButton, "Cancel?????", {125, 120, 50, 14}, ui::kTabStop},
      {9, ControlKind::PushButton, "Help???", {190, 120, 50, 14}, ui::kTabStop},
  };
  return t;
}

CharacterPickerDialog::CharacterPickerDialog(const dx470::ZEICHENSATZ& font, CharacterGrid::Mode mode,
                                             int fontNumber, int code)
    : CharacterPickerDialog(CharacterPickerTemplate(), font, mode, fontNumber, code) {}

CharacterPickerDialog::CharacterPickerDialog(ui::DialogTemplate tmpl, const dx470::ZEICHENSATZ& font,
                                             CharacterGrid::Mode mode, int fontNumber, int code)
    : Dialog(std::move(tmpl)),
      m_pFont(&font),
      m_mode(mode),
      m_nFontNumber(fontNumber),
      m_nStartCode(code),
      m_oGrid(mode) {}

int CharacterPickerDialog::LayOut(int left, int top, int minWidth) {
  // The font editor reserves the room of the tallest font.
  const int rows = m_mode == CharacterGrid::Mode::FontEditor ? dx470::kGlyphMaxHeight : m_pFont->Height;
  const int gridWidth = CharacterGrid::WidthFor(rows), gridHeight = CharacterGrid::HeightFor(rows);
  MoveControl(id::kGrid, gfx::RectAt(left, top, CharacterGrid::WidthFor(m_pFont->Height),
                                     CharacterGrid::HeightFor(m_pFont->Height)));
  const int textTop = top + gridHeight + 8;
  MoveControl(id::kCharacterLabel, gfx::RectAt(left, textTop, kLabelWidth, 16));
  MoveControl(id::kCharacterDescription,
              gfx::RectAt(left + kLabelWidth, textTop, gridWidth - kLabelWidth, 16));
  const int width =
      std::max({minWidth, left + gridWidth + kMargin, 3 * kButtonWidth + 2 * kButtonGap + 2 * kMargin});
  const int buttonsTop = textTop + 16 + 12;
  int x = (width - (3 * kButtonWidth + 2 * kButtonGap)) / 2;
  for (int button : {ui::IDOK, ui::IDCANCEL, 9}) {
    MoveControl(button, gfx::RectAt(x, buttonsTop, kButtonWidth, kButtonHeight));
    x += kButtonWidth + kButtonGap;
  }
  const int bottom = buttonsTop + kButtonHeight;
  SetClientSize(width, bottom + kMargin);
  return bottom;
}

bool CharacterPickerDialog::OnInitDialog() {
  char title[256];
  if (m_mode == CharacterGrid::Mode::Picker)
    std::snprintf(title, sizeof title, "%s %d%s", Translate("Get character from").c_str(), m_nFontNumber + 1,
                  Translate(". font import").c_str());
  else
    std::snprintf(title, sizeof title, "%s %u%s", Translate("Edit").c_str(), unsigned(m_nFontNumber + 1),
                  Translate(". font").c_str());
  SetWindowText(title);
  SetDlgItemText(id::kCharacterLabel, Translate("Character:"));
  SetDlgItemText(ui::IDOK, Translate("OK"));
  SetDlgItemText(ui::IDCANCEL, Translate("Cancel"));
  SetDlgItemText(9, Translate("Help"));
  LayOut(kMargin, kMargin, 0);
  CenterWindow();
  Attach(id::kGrid, m_oGrid);
  m_oGrid.SetFont(m_pFont);
  m_oGrid.Link(id::kCharacterDescription, ui::IDOK);
  m_oGrid.Select(m_nStartCode);
  SetFocus(id::kGrid);
  return false;
}

void CharacterPickerDialog::OnNotify(int id, int code, intptr_t param) {
  if (id != id::kGrid || code != CharacterGrid::kActivateNotify) return;
  if (m_mode == CharacterGrid::Mode::Picker)
    OnOK();
  else
    OnActivate(int(param));
}

void CharacterPickerDialog::OnCommand(int id, int code) {
  if (id == 9 && code == ui::BN_CLICKED)
    OnHelp();
  else
    Dialog::OnCommand(id, code);
}

void CharacterPickerDialog::OnHelp() {
  Services().ShowHelp(PluginApp().HelpFilePath(), id::kPickerHelpContext);
}

bool PickCharacter(ui::PlatformServices& services, const dx470::ZEICHENSATZ& font, int fontIndex,
                   uint8_t& chosen) {
  CharacterPickerDialog dialog(font, CharacterGrid::Mode::Picker, fontIndex);
  if (dialog.DoModal(services) != ui::IDOK || !dialog.SelectedAvailable()) return false;
  chosen = uint8_t(dialog.SelectedCode());
  return true;
}

}  // namespace editor
