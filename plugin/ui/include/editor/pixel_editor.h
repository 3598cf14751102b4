#pragma once
// PixelEditor: the enlarged glyph of the character editor. It works on a
// copy of one glyph record, shows each pixel as an 8 x 8 cell, toggles
// pixels by click and drag and sets the glyph width by dragging the handle
// column, the column at the glyph's width. The parent hears of every move
// of the cursor cell (kCursorNotify, sent).
#include <cstdint>

#include "data/records.h"
#include "gfx/bitmap.h"
#include "ui/ownerdraw.h"

namespace editor {

class PixelEditor : public ui::OwnerDrawn {
 public:
  static constexpr int kCellSize = 8;
  static constexpr int kMargin = 2;  // client pixels before the first cell
  static constexpr int kCursorNotify = 0x8011;
  static constexpr gfx::Color kGridColor = gfx::kLightGrey;
  static constexpr gfx::Color kCursorColor = gfx::Rgb(80, 160, 160);

  struct Cell {
    int x = 0, y = 0;
    bool operator==(const Cell&) const = default;
  };

  // Pixel (x, y) of a glyph record: byte 2 + (x / 8) * 20 + y, bit
  // 7 - (x mod 8). Pixels outside the glyph's width and height read as
  // clear and are never set (SetPixel answers false).
  static bool PixelAt(const dx470::ZEICHEN& glyph, int x, int y);
  static bool SetPixel(dx470::ZEICHEN& glyph, int x, int y, bool on);

  // Starts on a copy of `glyph` of a font `rows` pixels high: the editable
  // width is the glyph's width or twice the rows, whichever is larger.
  void SetGlyph(const dx470::ZEICHEN& glyph, int rows);
  // Takes width, height and bitmap of `glyph` (paste); the editable width
  // grows when the new glyph is wider.
  void Replace(const dx470::ZEICHEN& glyph);
  const dx470::ZEICHEN& Glyph() const { return m_glyph; }
  // On: twice the rows editable; off: the rows, a wider glyph cut to them.
  void SetWideMode(bool on);

  int EditableWidth() const { return m_nEditableWidth; }
  int Rows() const { return m_nRows; }
  // The control's size in pixels.
  int PixelWidth() const { return (m_nEditableWidth + 1) * kCellSize + 8; }
  int PixelHeight() const { return m_nRows * kCellSize + 8; }
  Cell CursorCell() const { return m_cursor; }
  bool DraggingWidth() const { return m_bWidthDrag; }
  // The cell under a client point, clamped to the columns 0..editable
  // width (the handle column included) and the rows.
  Cell CellAt(int x, int y) const;

  // ui::OwnerDrawn
  void Paint(gfx::Bitmap& target) override;
  void OnMouse(ui::MouseAction action, int x, int y, ui::KeyMods mods) override;

 private:
  void MoveCursor(const Cell& cell);
  void Toggle(const Cell& cell);
  void SetWidth(int width);
  void ClearOutside();
  void UpdateCursorShape(const Cell& pointer);

  dx470::ZEICHEN m_glyph{};
  int m_nEditableWidth = 2;
  int m_nRows = 1;
  Cell m_cursor;
  bool m_bCaptured = false, m_bWidthDrag = false, m_bDoubleClick = false;
};

}  // namespace editor
