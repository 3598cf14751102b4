// The glyph renderer against expected pixels.
#include "editor/glyphs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "data/markerfont.h"
#include "pixels.h"

namespace {

using dx470::ZEICHEN;
using dx470::ZEICHENSATZ;

// Sets a glyph from rows of '#' and '.'.
void Draw(ZEICHEN& g, std::initializer_list<const char*> rows) {
  std::memset(&g, 0, sizeof g);
  g.Height = uint8_t(rows.size());
  int r = 0;
  for (const char* row : rows) {
    g.Width = uint8_t(std::strlen(row));
    for (int c = 0; row[c]; ++c)
      if (row[c] == '#') g.Bitmap[20 * (c / 8) + r] |= uint8_t(0x80 >> (c % 8));
    ++r;
  }
}

// A font of codes 'A'..'C' with 'B' as default, tab 'C', replacement 0x02.
class Glyphs : public ::testing::Test {
 protected:
  void SetUp() override {
    dx470::UpdateMarkerFont(16);
    std::memset(font.get(), 0, sizeof *font);
    font->Height = 5;
    font->First = 'A';
    font->Last = 'C';
    font->DefaultChar = 'B';
    font->TabChar = 'C';
    font->ReplacementChar = 0x02;
    Draw(font->Glyphs[0], {".#.", "#.#", "###", "#.#", "#.#"});
    Draw(font->Glyphs[1], {"##.", "#.#", "##.", "#.#", "##."});
    Draw(font->Glyphs[2], {"####", "####", "####", "####", "####"});  // hidden by the tab marker
  }
  std::unique_ptr<ZEICHENSATZ> font = std::make_unique<ZEICHENSATZ>();
};

TEST_F(Glyphs, CodeBelowTheFirstIsDrawnAsTheDefaultCharacter) {
  gfx::Bitmap b(8, 5);
  const uint8_t text[] = {'!', 'A'};
  editor::Extent e = editor::DrawText(true, font.get(), text, 2, &b, 1, 0);
  EXPECT_EQ(e, (editor::Extent{6, 5}));
  EXPECT_EQ(pixels::Picture(b),
            ".##..#..\n"
            ".#.##.#.\n"
            ".##.###.\n"
            ".#.##.#.\n"
            ".##.#.#.\n");
}

TEST_F(Glyphs, TabIsTheArrowMarkerEvenOverAFontGlyphWithPixels) {
  gfx::Bitmap b(16, 16);
  editor::Extent e = editor::DrawChar(true, font.get(), 'C', &b, 0, 0);
  EXPECT_EQ(e, (editor::Extent{16, 16}));
  EXPECT_EQ(pixels::Picture(b),
            "................\n"
            "................\n"
            "................\n"
            ".............#..\n"
            ".........#...#..\n"
            ".........##..#..\n"
            ".........###.#..\n"
            "...###########..\n"
            "...###########..\n"
            ".........###.#..\n"
            ".........##..#..\n"
            ".........#...#..\n"
            ".............#..\n"
            "................\n"
            "................\n"
            "................\n");
  // The replacement position and code 3 are markers too.
  EXPECT_EQ(editor::DrawChar(false, font.get(), 0x02, nullptr, 0, 0), (editor::Extent{26, 16}));
  EXPECT_EQ(editor::DrawChar(false, font.get(), 3, nullptr, 0, 0), (editor::Extent{1, 1}));
}

TEST_F(Glyphs, SelectedIsWhiteDisabledGreyAndTheCallerPaintsTheBackground) {
  gfx::Bitmap b(3, 5, gfx::Rgb(0, 0, 128));
  editor::GlyphStyle selected;
  selected.selected = true;
  editor::DrawChar(true, font.get(), 'A', &b, 0, 0, selected);
  EXPECT_EQ(pixels::Picture(b), "N.N\n.N.\n...\n.N.\n.N.\n");
  gfx::Bitmap g(3, 5);
  editor::GlyphStyle disabled;
  disabled.disabled = true;
  disabled.underline = true;
  editor::DrawChar(true, font.get(), 'A', &g, 0, 0, disabled);
  EXPECT_EQ(pixels::Picture(g), ".g.\ng.g\nggg\nggg\ng.g\n");  // underline on row height - 2
}

TEST_F(Glyphs, EmptyStringMeasuresTheFontHeightAndNoFontNothing) {
  EXPECT_EQ(editor::DrawText(false, font.get(), nullptr, 0, nullptr, 0, 0), (editor::Extent{0, 5}));
  EXPECT_EQ(editor::DrawChar(true, nullptr, 'A', nullptr, 0, 0), (editor::Extent{0, 0}));
  const uint8_t tab[] = {'A', 'C'};
  EXPECT_EQ(editor::DrawText(false, font.get(), tab, 2, nullptr, 0, 0), (editor::Extent{19, 16}));
}

TEST_F(Glyphs, ScaledPixelsAreSquaresAfterTheOffsetAndClipKeepsColumns) {
  editor::GlyphStyle big;
  big.scale = 8;
  big.offsetX = big.offsetY = 1;
  gfx::Bitmap b(30, 45);
  editor::DrawChar(true, font.get(), 'A', &b, 0, 0, big);
  EXPECT_EQ(b.Get(8 + 1, 1), gfx::kBlack);  // pixel (1, 0)
  EXPECT_EQ(b.Get(8 + 8, 8), gfx::kBlack);
  EXPECT_EQ(b.Get(8, 1), gfx::kWhite);  // left of the square
  EXPECT_EQ(b.Get(1, 1), gfx::kWhite);  // pixel (0, 0) is clear
  EXPECT_EQ(b.Get(1, 9), gfx::kBlack);  // pixel (0, 1)

  editor::GlyphStyle clipped;
  clipped.clipFrom = 1;
  clipped.clipTo = 2;
  gfx::Bitmap c(3, 5);
  editor::DrawChar(true, font.get(), 'A', &c, 0, 0, clipped);
  EXPECT_EQ(pixels::Picture(c), ".#.\n..#\n.##\n..#\n..#\n");
  // Negative coordinates are skipped, not wrapped.
  gfx::Bitmap n(3, 5);
  editor::DrawChar(true, font.get(), 'A', &n, -1, -1);
  EXPECT_EQ(pixels::Picture(n), ".#.\n##.\n.#.\n.#.\n...\n");
}

TEST_F(Glyphs, DamagedFontsDrawNothingOutsideTheirRecords) {
  font->DefaultChar = 'Z';  // not in the font
  EXPECT_EQ(editor::DrawChar(false, font.get(), '!', nullptr, 0, 0), (editor::Extent{0, 5}));
  font->Glyphs[0].Width = 255;
  font->Glyphs[0].Height = 255;
  gfx::Bitmap b(300, 300);
  EXPECT_EQ(editor::DrawChar(true, font.get(), 'A', &b, 0, 0), (editor::Extent{255, 255}));
  for (int y = 20; y < 300; y += 7)
    for (int x = 40; x < 300; x += 7) ASSERT_EQ(b.Get(x, y), gfx::kWhite);
}

TEST_F(Glyphs, FontExtentCoversTheMarkersInRange) {
  EXPECT_EQ(editor::FontExtent(*font), (editor::Extent{16, 16}));
  font->TabChar = 0;
  EXPECT_EQ(editor::FontExtent(*font), (editor::Extent{4, 5}));
}

}  // namespace
