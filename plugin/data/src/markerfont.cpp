#include "data/markerfont.h"

#include <cstring>
#include <mutex>

namespace dx470 {
namespace {

void SetPixel(ZEICHEN& g, int column, int row) {
  g.Bitmap[20 * (column / 8) + row] |= uint8_t(0x80 >> (column % 8));
}

void SetRun(ZEICHEN& g, int fromColumn, int toColumn, int row) {
  for (int c = fromColumn; c <= toColumn; ++c) SetPixel(g, c, row);
}

// An arrow pointing right to a vertical bar, rows 3..12.
void BuildTab(ZEICHEN& g) {
  g.Width = 16;
  g.Height = 16;
  for (int r = 3; r <= 12; ++r) SetPixel(g, 13, r);
  SetRun(g, 3, 13, 7);
  SetRun(g, 3, 13, 8);
  // The head widens from one pixel on row 4 to three on rows 6 to 9 and
  // narrows again to one pixel on row 11.
  const int headEnd[] = {9, 10, 11, 11, 11, 11, 10, 9};  // rows 4..11
  for (int r = 4; r <= 11; ++r) SetRun(g, 9, headEnd[r - 4], r);
}

// A frame open at top and bottom in the middle, with three dots at its foot.
void BuildReplacement(ZEICHEN& g) {
  g.Width = 26;
  g.Height = 16;
  for (int r : {2, 3, 11, 12}) {
    SetRun(g, 2, 6, r);
    SetRun(g, 21, 25, r);
  }
  for (int r = 4; r <= 10; ++r) {
    SetRun(g, 2, 3, r);
    SetRun(g, 24, 25, r);
  }
  for (int r : {11, 12})
    for (int c : {9, 13, 17}) SetRun(g, c, c + 1, r);
}

std::mutex g_mutex;
std::shared_ptr<const ZEICHENSATZ> g_font;

std::shared_ptr<const ZEICHENSATZ> Make(uint8_t height) {
  auto font = std::make_shared<ZEICHENSATZ>();
  BuildMarkerFont(*font, height);
  return font;
}

}  // namespace

void BuildMarkerFont(ZEICHENSATZ& font, uint8_t height) {
  std::memset(&font, 0, sizeof font);
  font.Height = height;
  font.First = 1;
  font.Last = 3;
  font.DefaultChar = 1;
  BuildTab(font.Glyphs[0]);
  BuildReplacement(font.Glyphs[1]);
  font.Glyphs[2].Width = 1;
  font.Glyphs[2].Height = 1;
  font.MaxWidth = 26;
}

void UpdateMarkerFont(uint8_t height) {
  auto font = Make(height);
  std::lock_guard lock(g_mutex);
  g_font = std::move(font);
}

std::shared_ptr<const ZEICHENSATZ> MarkerFont() {
  std::lock_guard lock(g_mutex);
  if (!g_font) g_font = Make(16);
  return g_font;
}

}  // namespace dx470
