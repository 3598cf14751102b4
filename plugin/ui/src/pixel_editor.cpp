#include "editor/pixel_editor.h"

#include <algorithm>
#include <cstring>

#include "ui/dialog.h"
#include "ui/services.h"

namespace editor {
namespace {

constexpr int kBandRows = dx470::kGlyphRows;  // bitmap bytes per band of 8 columns

// The columns and rows a record can hold, whatever its size bytes claim.
int UsableWidth(const dx470::ZEICHEN& g) { return std::min<int>(g.Width, dx470::kGlyphMaxWidth); }
int UsableHeight(const dx470::ZEICHEN& g) { return std::min<int>(g.Height, dx470::kGlyphMaxHeight); }

bool Inside(const dx470::ZEICHEN& g, int x, int y) {
  return x >= 0 && y >= 0 && x < UsableWidth(g) && y < UsableHeight(g);
}

}  // namespace

bool PixelEditor::PixelAt(const dx470::ZEICHEN& glyph, int x, int y) {
  if (!Inside(glyph, x, y)) return false;
  return (glyph.Bitmap[(x / 8) * kBandRows + y] & (0x80 >> (x % 8))) != 0;
}

bool PixelEditor::SetPixel(dx470::ZEICHEN& glyph, int x, int y, bool on) {
  if (!Inside(glyph, x, y)) return false;
  uint8_t& bits = glyph.Bitmap[(x / 8) * kBandRows + y];
  const auto mask = uint8_t(0x80 >> (x % 8));
  bits = on ? uint8_t(bits | mask) : uint8_t(bits & ~mask);
  return true;
}

void PixelEditor::SetGlyph(const dx470::ZEICHEN& glyph, int rows) {
  m_glyph = glyph;
  m_nRows = std::clamp(rows, 1, dx470::kGlyphMaxHeight);
  m_nEditableWidth = std::min(std::max(UsableWidth(m_glyph), 2 * m_nRows), dx470::kGlyphMaxWidth);
  m_cursor = {};
  m_bCaptured = m_bWidthDrag = m_bDoubleClick = false;
  Invalidate();
}

void PixelEditor::Replace(const dx470::ZEICHEN& glyph) {
  m_glyph.Width = glyph.Width;
  m_glyph.Height = glyph.Height;
  std::memcpy(m_glyph.Bitmap, glyph.Bitmap, sizeof m_glyph.Bitmap);
  m_nEditableWidth = std::max(m_nEditableWidth, UsableWidth(m_glyph));
  Invalidate();
}

void PixelEditor::SetWideMode(bool on) {
  if (on) {
    m_nEditableWidth = std::min(std::max(UsableWidth(m_glyph), 2 * m_nRows), dx470::kGlyphMaxWidth);
  } else {
    m_nEditableWidth = m_nRows;
    if (m_glyph.Width > m_nRows) SetWidth(m_nRows);
    ClearOutside();
    m_cursor.x = std::min(m_cursor.x, m_nEditableWidth);
  }
  Invalidate();
}

PixelEditor::Cell PixelEditor::CellAt(int x, int y) const {
  return {std::clamp((x - kMargin) / kCellSize, 0, m_nEditableWidth),
          std::clamp((y - kMargin) / kCellSize, 0, m_nRows - 1)};
}

// ---- Editing.

void PixelEditor::MoveCursor(const Cell& cell) {
  if (cell == m_cursor) return;
  m_cursor = cell;
  Invalidate();
  SendNotify(kCursorNotify, 0);
}

void PixelEditor::Toggle(const Cell& cell) {
  if (SetPixel(m_glyph, cell.x, cell.y, !PixelAt(m_glyph, cell.x, cell.y))) Invalidate();
}

void PixelEditor::SetWidth(int width) {
  m_glyph.Width = uint8_t(std::clamp(width, 1, m_nEditableWidth));
  Invalidate();
}

// Bits beyond the width or height are cleared, so that a narrowed glyph
// holds only what it shows.
void PixelEditor::ClearOutside() {
  for (int x = 0; x < dx470::kGlyphMaxWidth; ++x)
    for (int y = 0; y < dx470::kGlyphMaxHeight; ++y)
      if (!Inside(m_glyph, x, y)) m_glyph.Bitmap[(x / 8) * kBandRows + y] &= uint8_t(~(0x80 >> (x % 8)));
}

// ---- Input.

void PixelEditor::UpdateCursorShape(const Cell& pointer) {
  SetCursor(m_bWidthDrag || pointer.x == m_glyph.Width ? ui::CursorShape::SizeWE : ui::CursorShape::Arrow);
}

void PixelEditor::OnMouse(ui::MouseAction action, int x, int y, ui::KeyMods) {
  const Cell cell = CellAt(x, y);
  switch (action) {
    case ui::MouseAction::Down:
      m_bCaptured = true;
      m_bDoubleClick = false;
      MoveCursor(cell);
      m_bWidthDrag = cell.x == m_glyph.Width;
      if (!m_bWidthDrag) Toggle(cell);
      break;
    case ui::MouseAction::Move:
      if (!m_bCaptured || cell == m_cursor) break;
      MoveCursor(cell);
      if (m_bWidthDrag)
        SetWidth(cell.x);
      else
        Toggle(cell);
      break;
    case ui::MouseAction::Up:
      if (!m_bDoubleClick) MoveCursor(cell);
      if (m_bWidthDrag) ClearOutside();
      m_bCaptured = m_bWidthDrag = m_bDoubleClick = false;
      break;
    case ui::MouseAction::DoubleClick:
      // The second press of a double click toggles nothing; its release
      // leaves the cursor where the first press put it.
      m_bDoubleClick = true;
      break;
  }
  UpdateCursorShape(cell);
}

// ---- Painting.

void PixelEditor::Paint(gfx::Bitmap& target) {
  const ui::SystemColors colors = Owner() ? Owner()->Services().Colors() : ui::ClassicColors();
  target.FillRect({0, 0, target.width(), target.height()}, colors.window);
  auto left = [](int column) { return kMargin + column * kCellSize; };
  for (int x = 0; x < m_nEditableWidth; ++x)
    for (int y = 0; y < m_nRows; ++y)
      if (PixelAt(m_glyph, x, y)) target.FillRect({left(x), left(y), left(x + 1), left(y + 1)}, gfx::kBlack);
  const int right = left(m_nEditableWidth + 1), bottom = left(m_nRows);
  for (int column = 0; column <= m_nEditableWidth + 1; ++column)
    target.FillRect({left(column), kMargin, left(column) + 1, bottom + 1}, kGridColor);
  for (int row = 0; row <= m_nRows; ++row)
    target.FillRect({kMargin, left(row), right + 1, left(row) + 1}, kGridColor);
  // The cursor cell: its four grid lines, so that its pixel stays visible.
  const int cx = left(m_cursor.x), cy = left(m_cursor.y), size = kCellSize + 1;
  target.FillRect({cx, cy, cx + size, cy + 1}, kCursorColor);
  target.FillRect({cx, cy + kCellSize, cx + size, cy + size}, kCursorColor);
  target.FillRect({cx, cy, cx + 1, cy + size}, kCursorColor);
  target.FillRect({cx + kCellSize, cy, cx + size, cy + size}, kCursorColor);
}

}  // namespace editor
