#include "editor/character_grid.h"

#include <algorithm>

#include "editor/characters.h"
#include "editor/glyphs.h"
#include "ui/dialog.h"
#include "ui/services.h"

namespace editor {

void CharacterGrid::SetFont(const dx470::ZEICHENSATZ* font) {
  m_pFont = font;
  Update();
}

void CharacterGrid::Link(int descriptionStatic, int availabilityButton) {
  m_nDescriptionStatic = descriptionStatic;
  m_nButton = availabilityButton;
  Update();
}

void CharacterGrid::Select(int code) {
  m_nSelected = std::clamp(code, 0, 255);
  Update();
}

// Availability, description and the linked controls follow the selection.
void CharacterGrid::Update() {
  if (m_pFont) {
    const Availability a = CharacterAvailability(*m_pFont, m_nSelected);
    m_bAvailable = a.available;
    m_strDescription = CharacterDescription(m_nSelected) + " " + a.text;
  } else {
    m_bAvailable = false;
    m_strDescription.clear();
  }
  if (ui::Dialog* d = Owner()) {
    if (m_nDescriptionStatic) d->SetDlgItemText(m_nDescriptionStatic, m_strDescription);
    if (m_nButton && m_mode == Mode::Picker) d->EnableControl(m_nButton, m_bAvailable);
  }
  Invalidate();
}

int CharacterGrid::CodeAt(int x, int y) const {
  const int cell = std::max(Cell(), 1);
  const int column = std::clamp((x - 2) / cell, 0, kColumns - 1);
  const int row = std::clamp((y - 2) / cell, 0, kRows - 1);
  return row * kColumns + column;
}

void CharacterGrid::OnMouse(ui::MouseAction action, int x, int y, ui::KeyMods) {
  switch (action) {
    case ui::MouseAction::Down:
      m_bCapture = true;
      Select(CodeAt(x, y));
      break;
    case ui::MouseAction::Up: m_bCapture = false; break;
    case ui::MouseAction::DoubleClick:
      m_bCapture = false;
      if (m_bAvailable) SendNotify(kActivateNotify, m_nSelected);
      break;
    case ui::MouseAction::Move: break;
  }
}

void CharacterGrid::OnKey(ui::Key key, ui::KeyMods mods) {
  if (mods.ctrl && key == ui::Key::Other) return;
  int code = m_nSelected;
  switch (key) {
    case ui::Key::Home: code = 0; break;
    case ui::Key::End: code = 255; break;
    case ui::Key::Left: code = std::max(code - 1, 0); break;
    case ui::Key::Right: code = std::min(code + 1, 255); break;
    case ui::Key::Up:
      if (code >= kColumns) code -= kColumns;
      break;
    case ui::Key::Down:
      if (code < 256 - kColumns) code += kColumns;
      break;
    default: return;
  }
  if (code != m_nSelected) Select(code);
}

bool CharacterGrid::QueryText(std::string& text) const {
  text = m_strDescription;
  return true;
}

void CharacterGrid::Paint(gfx::Bitmap& target) {
  const ui::SystemColors colors = Owner() ? Owner()->Services().Colors() : ui::ClassicColors();
  target.FillRect({0, 0, target.width(), target.height()}, colors.window);
  if (!m_pFont) return;
  const int cell = Cell();
  auto origin = [&](int code) {
    return std::make_pair(2 + (code % kColumns) * cell, 2 + (code / kColumns) * cell);
  };
  // Draws a glyph centred in a cell of its own, so that a glyph wider than
  // the cell is cut at the cell's edges.
  auto drawCell = [&](int code, gfx::Color background, bool selected) {
    auto [x, y] = origin(code);
    gfx::Bitmap box(cell, cell, background);
    const Glyph glyph = GlyphFor(*m_pFont, uint8_t(code));
    GlyphStyle style;
    style.selected = selected;
    DrawGlyph(glyph, box, (cell - glyph.width) / 2, kMargin, style);
    target.Blit(x, y, box);
  };
  for (int code = 0; code < 256; ++code) {
    if (CharacterAvailability(*m_pFont, code).available) {
      drawCell(code, colors.window, false);
    } else {
      auto [x, y] = origin(code);
      target.FillRect({x, y, x + cell, y + cell}, colors.inactiveCaptionText);
    }
  }
  // One-pixel lines between the cells and around them.
  for (int c = 0; c <= kColumns; ++c)
    target.FillRect({1 + c * cell, 1, 2 + c * cell, 2 + kRows * cell}, gfx::kBlack);
  for (int r = 0; r <= kRows; ++r)
    target.FillRect({1, 1 + r * cell, 2 + kColumns * cell, 2 + r * cell}, gfx::kBlack);
  if (m_bAvailable) drawCell(m_nSelected, colors.highlight, true);
  // The selected cell's two-pixel frame, one pixel inside its lines.
  auto [x, y] = origin(m_nSelected);
  const int l = x + 1, t = y + 1, r = x + cell - 2, b = y + cell - 2;
  target.FillRect({l, t, r, t + 2}, gfx::kBlack);
  target.FillRect({l, b - 2, r, b}, gfx::kBlack);
  target.FillRect({l, t, l + 2, b}, gfx::kBlack);
  target.FillRect({r - 2, t, r, b}, gfx::kBlack);
}

}  // namespace editor
