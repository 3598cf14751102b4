// Fletcher-16 and the packed font form.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "data/checksum.h"
#include "data/packedfont.h"

namespace dx470 {
namespace {

std::unique_ptr<ZEICHENSATZ> NewFont(uint8_t first, uint8_t last, uint8_t height) {
  auto font = std::make_unique<ZEICHENSATZ>();
  font->Height = height;
  font->First = first;
  font->Last = last;
  return font;
}

std::vector<uint8_t> PackToVector(const ZEICHENSATZ& font) {
  std::vector<uint8_t> out(kMaxPackedFontSize);
  const FontResult r = Pack(font, out.data(), out.size());
  EXPECT_TRUE(r.ok()) << FontStatusText(r.status);
  out.resize(r.size);
  return out;
}

TEST(Fletcher16, KnownValues) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(Fletcher16(abc, 3), 0x4C27);
  EXPECT_EQ(Fletcher16(abc, 0), 0);
  const std::vector<uint8_t> ff(1000, 0xFF);  // every sum stays reduced below 255
  EXPECT_EQ(Fletcher16(ff.data(), ff.size()), 0);
}

TEST(PackedFont, OneEightByEightGlyphPacksTo45Bytes) {
  auto font = NewFont(65, 65, 8);
  ZEICHEN& g = font->Glyphs[0];
  g.Width = 8;
  g.Height = 8;
  for (int r = 0; r < 8; ++r) g.Bitmap[r] = static_cast<uint8_t>(0x81 + r);
  const auto packed = PackToVector(*font);
  ASSERT_EQ(packed.size(), 45u);
  EXPECT_EQ(packed[23], 8);  // widest glyph
  EXPECT_EQ(packed[34], 8);  // table: width
  EXPECT_EQ(packed[35], 0);  // table: BE offset 37
  EXPECT_EQ(packed[36], 37);
  EXPECT_EQ(packed[37], 0x81);
  EXPECT_EQ(packed[44], 0x88);
  EXPECT_EQ(PackedSize(*font).size, 45u);
}

TEST(PackedFont, WidthZeroHasATableEntryButNoData) {
  auto font = NewFont(32, 33, 10);
  font->Glyphs[0].Width = 0;
  font->Glyphs[0].Height = 10;
  font->Glyphs[1].Width = 3;
  font->Glyphs[1].Height = 10;
  const auto packed = PackToVector(*font);
  ASSERT_EQ(packed.size(), 34u + 6 + 10);
  EXPECT_EQ(packed[34], 0);
  EXPECT_EQ(packed[36], 40);  // width-0 glyph points at the data start
  EXPECT_EQ(packed[39], 40);  // the next glyph starts at the same place
}

TEST(PackedFont, NineByTenGlyphKeepsOnlyTheTopBitOfItsSecondBand) {
  auto font = NewFont(40, 40, 10);
  ZEICHEN& g = font->Glyphs[0];
  g.Width = 9;
  g.Height = 10;
  std::memset(g.Bitmap, 0xFF, sizeof g.Bitmap);
  const auto packed = PackToVector(*font);
  ASSERT_EQ(packed.size(), 34u + 3 + 20);
  for (int r = 0; r < 10; ++r) {
    EXPECT_EQ(packed[37 + r], 0xFF);
    EXPECT_EQ(packed[47 + r], 0x80);
  }

  // Unpacked again, the glyph has exactly those bits.
  auto back = std::make_unique<ZEICHENSATZ>();
  ASSERT_TRUE(Unpack(packed.data(), packed.size(), *back).ok());
  EXPECT_EQ(back->Glyphs[0].Width, 9);
  EXPECT_EQ(back->Glyphs[0].Height, 10);
  EXPECT_EQ(back->Glyphs[0].Bitmap[20 + 9], 0x80);
  EXPECT_EQ(back->Glyphs[1].Width, 4);  // glyphs outside the range: 4 wide
}

TEST(PackedFont, PackRefusesTooSmallBuffersAndCorruptGlyphs) {
  auto font = NewFont(65, 66, 8);
  font->Glyphs[0] = {8, 8, {}};
  font->Glyphs[1] = {8, 8, {}};
  std::vector<uint8_t> out(50, 0xEE);
  const FontResult r = Pack(*font, out.data(), out.size());  // needs 56
  EXPECT_EQ(r.status, FontStatus::NoSpace);
  EXPECT_EQ(r.size, 56u);
  EXPECT_EQ(out, std::vector<uint8_t>(50, 0xEE));  // nothing written

  font->Glyphs[1].Width = 41;
  EXPECT_EQ(PackedSize(*font).status, FontStatus::BadGlyph);
  EXPECT_EQ(PackedSize(*font).glyph, 1);
  font->Glyphs[1] = {8, 21, {}};
  EXPECT_EQ(Pack(*font, out.data(), out.size()).status, FontStatus::BadGlyph);
}

TEST(PackedFont, UnpackRejectsDataThatEndsEarly) {
  auto font = NewFont(65, 67, 12);
  for (int k = 0; k < 3; ++k) font->Glyphs[k] = {12, 12, {}};
  const auto packed = PackToVector(*font);
  auto target = std::make_unique<ZEICHENSATZ>();
  target->Height = 7;
  for (size_t cut : {size_t(0), size_t(33), size_t(40), packed.size() - 1}) {
    const FontResult r = Unpack(packed.data(), cut, *target);
    EXPECT_EQ(r.status, FontStatus::Truncated) << cut;
    EXPECT_EQ(target->Height, 7) << "font changed for cut " << cut;
  }
  EXPECT_TRUE(Unpack(packed.data(), packed.size(), *target).ok());

  // A table width that claims more data than there is.
  auto lying = packed;
  lying[34 + 3 * 2] = 40;
  EXPECT_EQ(Unpack(lying.data(), lying.size(), *target).status, FontStatus::Truncated);
}

TEST(PackedFont, UnpackClampsAndReadsSequentially) {
  // Header height 22: 22 rows per band are read, 20 kept; the stored
  // table offsets are ignored.
  std::vector<uint8_t> packed(34 + 3 + 2 * 22, 0);
  packed[22] = 22;
  packed[24] = packed[25] = 70;
  packed[34] = 9;
  packed[35] = 0xFF;  // bogus offset
  for (int i = 0; i < 44; ++i) packed[37 + i] = static_cast<uint8_t>(i + 1);
  auto font = std::make_unique<ZEICHENSATZ>();
  const FontResult r = Unpack(packed.data(), packed.size(), *font);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.size, packed.size());
  EXPECT_EQ(font->Height, 20);
  EXPECT_EQ(font->Glyphs[0].Height, 20);
  EXPECT_EQ(font->Glyphs[0].Bitmap[19], 20);
  EXPECT_EQ(font->Glyphs[0].Bitmap[20], 23);  // band 1 starts after 22 rows

  // Last below first counts as last = first.
  packed[25] = 60;
  ASSERT_TRUE(Unpack(packed.data(), packed.size(), *font).ok());
  EXPECT_EQ(font->Last, 70);
}

TEST(PackedFont, NormalizeClearsOutsideTheGlyphAndResetsUnusedGlyphs) {
  auto font = NewFont(65, 66, 10);
  for (ZEICHEN& g : font->Glyphs) {
    g.Width = 11;
    g.Height = 3;
    std::memset(g.Bitmap, 0xFF, sizeof g.Bitmap);
  }
  Normalize(*font);
  const ZEICHEN& g = font->Glyphs[1];
  EXPECT_EQ(g.Height, 10);
  EXPECT_EQ(g.Bitmap[9], 0xFF);
  EXPECT_EQ(g.Bitmap[10], 0);         // below the height
  EXPECT_EQ(g.Bitmap[20 + 9], 0xE0);  // 3 pixels of band 1
  EXPECT_EQ(g.Bitmap[40], 0);         // band 2 unused
  const ZEICHEN& unused = font->Glyphs[2];
  EXPECT_EQ(unused.Width, 4);
  EXPECT_EQ(unused.Height, 1);
  EXPECT_EQ(unused.Bitmap[0], 0);
}

}  // namespace
}  // namespace dx470

namespace dx470 {
namespace {

// A font is only packed when its packed form reads back as the same font.
TEST(PackedFont, OnlySelfConsistentFontsReadBackAsPacked) {
  auto font = NewFont(65, 67, 8);
  for (int k = 0; k < 3; ++k) font->Glyphs[k].Width = 6, font->Glyphs[k].Height = 8;
  EXPECT_TRUE(IsSelfConsistent(*font));
  font->Glyphs[1].Width = 0, font->Glyphs[1].Height = 3;  // no pixels: no rows packed
  EXPECT_TRUE(IsSelfConsistent(*font));
  font->Glyphs[3].Height = 2;  // outside first..last
  EXPECT_TRUE(IsSelfConsistent(*font));

  font->Glyphs[2].Height = 9;
  EXPECT_FALSE(IsSelfConsistent(*font));
  // The reason: the reader takes the font's height for every glyph.
  std::vector<uint8_t> packed = PackToVector(*font);
  auto back = std::make_unique<ZEICHENSATZ>();
  ASSERT_TRUE(Unpack(packed.data(), packed.size(), *back).ok());
  EXPECT_EQ(back->Glyphs[2].Height, 8);
  font->Glyphs[2].Height = 8;

  font->Height = 72;
  EXPECT_FALSE(IsSelfConsistent(*font));
  font->Height = 0;
  EXPECT_FALSE(IsSelfConsistent(*font));
  font->Height = 8;
  font->First = 68;
  EXPECT_FALSE(IsSelfConsistent(*font));
}

}  // namespace
}  // namespace dx470
