#include "data/markerfont.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "data/defaults.h"

namespace {

// The glyph's rows as text, '#' for a set pixel.
std::string Picture(const dx470::ZEICHEN& g) {
  std::string s;
  for (int r = 0; r < g.Height; ++r) {
    for (int c = 0; c < g.Width; ++c) s += (g.Bitmap[20 * (c / 8) + r] & (0x80 >> (c % 8))) ? '#' : '.';
    s += '\n';
  }
  return s;
}

TEST(MarkerFont, TabulatorArrow) {
  auto font = std::make_unique<dx470::ZEICHENSATZ>();
  dx470::BuildMarkerFont(*font, 16);
  EXPECT_EQ(font->First, 1);
  EXPECT_EQ(font->Last, 3);
  EXPECT_EQ(Picture(font->Glyphs[0]),
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
}

TEST(MarkerFont, ReplacementFrameAndEmptyThird) {
  auto font = std::make_unique<dx470::ZEICHENSATZ>();
  dx470::BuildMarkerFont(*font, 12);
  EXPECT_EQ(font->Height, 12);
  const std::string frame = Picture(font->Glyphs[1]);
  EXPECT_EQ(frame.substr(2 * 27, 27), "..#####..............#####\n");
  EXPECT_EQ(frame.substr(4 * 27, 27), "..##....................##\n");
  EXPECT_EQ(frame.substr(11 * 27, 27), "..#####..##..##..##..#####\n");
  EXPECT_EQ(frame.substr(13 * 27, 27), "..........................\n");
  EXPECT_EQ(Picture(font->Glyphs[2]), ".\n");
}

TEST(MarkerFont, FollowsTheHeightOfADefaultConfiguration) {
  auto param = std::make_unique<dx470::PARAM>();
  dx470::InitParam(*param, "Text?");
  EXPECT_EQ(dx470::MarkerFont()->Height, param->Lcd.Fonts[0].Height);
  dx470::UpdateMarkerFont(9);
  auto held = dx470::MarkerFont();
  dx470::UpdateMarkerFont(16);
  EXPECT_EQ(held->Height, 9);  // a holder keeps the font it got
  EXPECT_EQ(dx470::MarkerFont()->Height, 16);
}

}  // namespace
