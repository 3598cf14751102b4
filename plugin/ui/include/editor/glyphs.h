#pragma once
// Device text on screen: glyphs of the device's own bitmap fonts drawn pixel
// by pixel into a bitmap, and strings measured with them. The codes that
// the device interprets itself (tabulator, value position, code 3) are shown
// with the built-in marker symbols.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "data/records.h"
#include "gfx/bitmap.h"

namespace editor {

// The glyph that shows a code. `record` is null when the font has none to
// offer (its default character lies outside the codes it holds).
struct Glyph {
  const dx470::ZEICHEN* record = nullptr;
  int width = 0;
  int height = 0;
  // Keeps a marker glyph alive while the process's marker font is rebuilt.
  std::shared_ptr<const dx470::ZEICHENSATZ> owner;
};

struct Extent {
  int width = 0;
  int height = 0;
  bool operator==(const Extent&) const = default;
};

// How a glyph is drawn.
struct GlyphStyle {
  bool selected = false;  // white
  bool underline = false;
  bool disabled = false;  // light grey
  int scale = 1;          // >= 2: each pixel an s x s square
  int offsetX = 0;        // added to scaled coordinates
  int offsetY = 0;
  int clipFrom = 0;  // glyph columns drawn when clipTo is not 0
  int clipTo = 0;
};

gfx::Color GlyphColor(const GlyphStyle& style);

Glyph GlyphFor(const dx470::ZEICHENSATZ& font, uint8_t code);

// Draws one glyph with its top left corner at (x, y).
void DrawGlyph(const Glyph& glyph, gfx::Bitmap& target, int x, int y, const GlyphStyle& style);

// Measures a character and draws it when `draw` is set and a target is
// given. (0, 0) without a font.
Extent DrawChar(bool draw, const dx470::ZEICHENSATZ* font, uint8_t code, gfx::Bitmap* target, int x, int y,
                const GlyphStyle& style = {});

// Measures `length` characters and draws them when asked: the total width
// and the tallest glyph (at least the font height).
Extent DrawText(bool draw, const dx470::ZEICHENSATZ* font, const uint8_t* text, size_t length,
                gfx::Bitmap* target, int x, int y, bool selected = false, bool disabled = false);

// Widest and tallest glyph over the font's codes.
Extent FontExtent(const dx470::ZEICHENSATZ& font);

}  // namespace editor
