// The built-in default font: its facts, its packed round trip, and a picture
// of all its characters (default_font.png in the working directory) for
// looking at the glyphs.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "data/defaultfont.h"
#include "data/packedfont.h"
#include "gfx/bitmap.h"
#include "gfx/png.h"

namespace dx470 {
namespace {

std::unique_ptr<ZEICHENSATZ> UnpackDefault() {
  auto font = std::make_unique<ZEICHENSATZ>();
  const auto packed = DefaultFontPacked();
  const FontResult r = Unpack(packed.data(), packed.size(), *font);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.size, packed.size());
  return font;
}

TEST(DefaultFont, HeaderFacts) {
  auto font = UnpackDefault();
  EXPECT_EQ(font->Height, 16);
  EXPECT_EQ(font->First, 32);
  EXPECT_EQ(font->Last, 255);
  EXPECT_EQ(font->MaxWidth, 14);
  EXPECT_NE(font->Identification[0], 0);  // names its source
  for (int k = 0; k <= 255 - 32; ++k) {
    EXPECT_LE(font->Glyphs[k].Width, 14) << "code " << k + 32;
    EXPECT_GT(font->Glyphs[k].Width, 0) << "code " << k + 32;
    EXPECT_EQ(font->Glyphs[k].Height, 16) << "code " << k + 32;
  }
}

TEST(DefaultFont, UnpackThenPackGivesTheSameBytes) {
  auto font = UnpackDefault();
  const auto packed = DefaultFontPacked();
  std::vector<uint8_t> again(kMaxPackedFontSize);
  const FontResult r = Pack(*font, again.data(), again.size());
  ASSERT_TRUE(r.ok());
  again.resize(r.size);
  EXPECT_EQ(again, std::vector<uint8_t>(packed.begin(), packed.end()));
}

// All 224 characters in rows of 16, three device pixels per pixel; each
// cell's glyph width is tinted so that spacing can be judged too.
TEST(DefaultFont, RendersToPng) {
  auto font = UnpackDefault();
  constexpr int kScale = 3, kCellW = 16, kCellH = 18, kPad = 2;
  gfx::Bitmap image((kCellW * 16 + kPad) * kScale, (kCellH * 14 + kPad) * kScale, gfx::kWhite);
  for (int k = 0; k < 224; ++k) {
    const ZEICHEN& g = font->Glyphs[k];
    const int cx = (kPad + (k % 16) * kCellW) * kScale, cy = (kPad + (k / 16) * kCellH) * kScale;
    image.FillRect({cx, cy, cx + g.Width * kScale, cy + g.Height * kScale}, gfx::Rgb(255, 244, 200));
    for (int y = 0; y < g.Height; ++y)
      for (int x = 0; x < g.Width; ++x)
        if (g.Bitmap[20 * (x / 8) + y] & (0x80 >> (x % 8)))
          image.FillRect({cx + x * kScale, cy + y * kScale, cx + (x + 1) * kScale, cy + (y + 1) * kScale},
                         gfx::kBlack);
  }
  EXPECT_EQ(gfx::SavePng(image, "default_font.png"), S_OK);
}

}  // namespace
}  // namespace dx470
