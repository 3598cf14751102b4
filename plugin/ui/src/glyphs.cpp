#include "editor/glyphs.h"

#include <algorithm>

#include "data/markerfont.h"

namespace editor {
namespace {

Glyph Marker(int index) {
  Glyph g;
  g.owner = dx470::MarkerFont();
  g.record = &g.owner->Glyphs[index];
  g.width = g.record->Width;
  g.height = g.record->Height;
  return g;
}

Glyph Own(const dx470::ZEICHENSATZ& font, int index) {
  Glyph g;
  g.record = &font.Glyphs[index];
  g.width = g.record->Width;
  g.height = g.record->Height;
  return g;
}

void Square(gfx::Bitmap& target, int x, int y, int size, gfx::Color c) {
  if (size <= 1)
    target.Set(x, y, c);
  else
    target.FillRect({x, y, x + size, y + size}, c);
}

}  // namespace

gfx::Color GlyphColor(const GlyphStyle& style) {
  if (style.selected) return gfx::kWhite;
  return style.disabled ? gfx::kLightGrey : gfx::kBlack;
}

Glyph GlyphFor(const dx470::ZEICHENSATZ& font, uint8_t code) {
  if (code == font.TabChar) return Marker(0);
  if (code == font.ReplacementChar) return Marker(1);
  if (code == 3) return Marker(2);
  if (code >= font.First && code <= font.Last) return Own(font, code - font.First);
  if (font.DefaultChar >= font.First && font.DefaultChar <= font.Last)
    return Own(font, font.DefaultChar - font.First);
  // A damaged font whose default character it does not hold: nothing to
  // show rather than a glyph read from outside the font.
  return Glyph{nullptr, 0, font.Height, nullptr};
}

void DrawGlyph(const Glyph& glyph, gfx::Bitmap& target, int x, int y, const GlyphStyle& style) {
  if (!glyph.record) return;
  const gfx::Color color = GlyphColor(style);
  const int scale = std::max(style.scale, 1);
  // A record never holds more than its bitmap: damaged sizes are cut there.
  const int width = std::min(glyph.width, dx470::kGlyphMaxWidth);
  const int height = std::min(glyph.height, dx470::kGlyphMaxHeight);
  const int bands = (width + 7) / 8;
  for (int b = 0; b < bands; ++b) {
    for (int r = 0; r < height; ++r) {
      const uint8_t bits = glyph.record->Bitmap[20 * b + r];
      if (bits == 0) continue;
      for (int bit = 0; bit < 8; ++bit) {
        const int column = 8 * b + bit;
        if (style.clipTo != 0 && (column < style.clipFrom || column > style.clipTo)) continue;
        if (column >= width || !(bits & (0x80 >> bit))) continue;
        const int px = x + column, py = y + r;
        if (px < 0 || py < 0) continue;
        if (scale == 1)
          target.Set(px, py, color);
        else
          Square(target, px * scale + style.offsetX, py * scale + style.offsetY, scale, color);
      }
    }
  }
  if (style.underline) {
    const int row = y + glyph.height - 2;
    for (int i = 0; i < glyph.width; ++i) {
      if (x + i < 0 || row < 0) continue;
      if (scale == 2)
        Square(target, (x + i) * 2 + style.offsetX, row * 2 + style.offsetY, 2, color);
      else
        target.Set(x + i, row, color);
    }
  }
}

Extent DrawChar(bool draw, const dx470::ZEICHENSATZ* font, uint8_t code, gfx::Bitmap* target, int x, int y,
                const GlyphStyle& style) {
  if (!font) return {};
  Glyph glyph = GlyphFor(*font, code);
  if (draw && target) DrawGlyph(glyph, *target, x, y, style);
  return {glyph.width, glyph.height};
}

Extent DrawText(bool draw, const dx470::ZEICHENSATZ* font, const uint8_t* text, size_t length,
                gfx::Bitmap* target, int x, int y, bool selected, bool disabled) {
  if (!font) return {};
  GlyphStyle style;
  style.selected = selected;
  style.disabled = disabled;
  Extent total{0, font->Height};
  for (size_t i = 0; text && i < length; ++i) {
    Extent e = DrawChar(draw, font, text[i], target, x + total.width, y, style);
    total.width += e.width;
    total.height = std::max(total.height, e.height);
  }
  return total;
}

Extent FontExtent(const dx470::ZEICHENSATZ& font) {
  Extent e;
  for (int code = font.First; code <= font.Last; ++code) {
    Glyph g = GlyphFor(font, uint8_t(code));
    e.width = std::max(e.width, g.width);
    e.height = std::max(e.height, g.height);
  }
  return e;
}

}  // namespace editor
