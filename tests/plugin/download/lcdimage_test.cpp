// Building the device image from a configuration and expanding it again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/byteorder.h"
#include "data/blockinfo.h"
#include "data/checksum.h"
#include "data/defaults.h"
#include "data/packedfont.h"
#include "download/lcdimage.h"

namespace {

using dx470::ImageStatus;

struct LcdImage : ::testing::Test {
  LcdImage() : param(std::make_unique<dx470::PARAM>()), buffer(std::make_unique<dx470::ImageBuffer>()) {
    dx470::InitParam(*param, "Text?");
  }
  // Makes `font` pack to exactly `size` bytes (all 256 codes present).
  // A self-consistent font (height 20) whose packed form has `size` bytes:
  // 34 + 3 per glyph in range + 20 per column band.
  static void SetPackedSize(dx470::ZEICHENSATZ& font, size_t size) {
    const size_t rest = size - dx470::kFontHeaderSize;
    size_t count = (rest * 7) % 20;  // 3 × 7 ≡ 1 (mod 20)
    while (count + 20 <= 256 && 3 * (count + 20) <= rest) count += 20;
    ASSERT_GE(count, 1u);
    size_t bands = (rest - 3 * count) / 20;
    ASSERT_EQ(3 * count + 20 * bands, rest);
    ASSERT_LE(bands, 5 * count);
    font.First = 0;
    font.Last = uint8_t(count - 1);
    font.Height = 20;
    for (dx470::ZEICHEN& g : font.Glyphs) {
      const size_t b = std::min<size_t>(bands, 5);
      g.Width = uint8_t(8 * b);
      g.Height = 20;
      bands -= b;
    }
    ASSERT_EQ(dx470::PackedSize(font).size, size);
  }
  std::unique_ptr<dx470::PARAM> param;
  std::unique_ptr<dx470::ImageBuffer> buffer;
};

TEST_F(LcdImage, BuildPacksBothFontsBehindTheMessagesAndRecordsWhereAndWhat) {
  const dx470::ImageResult r = dx470::BuildLcdImage(*param, *buffer);
  ASSERT_TRUE(r.ok());
  const size_t font1 = dx470::PackedSize(param->Lcd.Fonts[0]).size;
  const size_t font2 = dx470::PackedSize(param->Lcd.Fonts[1]).size;
  EXPECT_EQ(r.length, 3811 + font1 + font2);
  EXPECT_EQ(base::ReadBE16(param->Lcd.Block.Font1Offset), 3811);
  EXPECT_EQ(base::ReadBE16(param->Lcd.Block.Font2Offset), 3811 + font1);
  EXPECT_EQ(param->Lcd.Block.FontsChecksum, dx470::Fletcher16(buffer->data() + 34 + 3811, font1 + font2));
  EXPECT_EQ(std::memcmp(buffer->data(), param.get(), 3845), 0);
  // The second font's header lies right after the first font's bytes.
  EXPECT_EQ(std::memcmp(buffer->data() + 34 + 3811 + font1 + 24, &param->Lcd.Fonts[1].First, 2), 0);
  EXPECT_TRUE(dx470::CheckBlockInformation(buffer->data(), 34 + r.length));
}

TEST_F(LcdImage, ExpandingAnImageAndBuildingItAgainYieldsTheSameBytes) {
  const dx470::ImageResult first = dx470::BuildLcdImage(*param, *buffer);
  ASSERT_TRUE(first.ok());
  auto expanded = std::make_unique<dx470::PARAM>();
  std::memset(expanded.get(), 0x5A, sizeof(dx470::PARAM));
  ASSERT_TRUE(dx470::BuildLcdImage(buffer->data(), 34 + first.length, *expanded).ok());
  EXPECT_EQ(expanded->Reserved[0], 0);  // cleared, not left over

  auto again = std::make_unique<dx470::ImageBuffer>();
  const dx470::ImageResult second = dx470::BuildLcdImage(*expanded, *again);
  ASSERT_TRUE(second.ok());
  ASSERT_EQ(second.length, first.length);
  EXPECT_EQ(std::memcmp(buffer->data(), again->data(), 34 + first.length), 0);
}

TEST_F(LcdImage, ImagesUpToTheEndOfTheDeviceAreaAreBuiltLargerOnesRefusedUntouched) {
  constexpr size_t kLimit = 0xB5FF - 0x7820;
  EXPECT_EQ(dx470::kMaxImageLength, kLimit);
  param->Lcd.Fonts[1].First = param->Lcd.Fonts[1].Last = 65;
  param->Lcd.Fonts[1].Glyphs[0].Width = 0;
  const size_t font2 = dx470::PackedSize(param->Lcd.Fonts[1]).size;
  SetPackedSize(param->Lcd.Fonts[0], kLimit - 3811 - font2);
  dx470::ImageResult r = dx470::BuildLcdImage(*param, *buffer);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.length, kLimit);

  SetPackedSize(param->Lcd.Fonts[0], kLimit - 3811 - font2 + 1);
  auto before = std::make_unique<dx470::PARAM>(*param);
  std::memset(buffer->data(), 0xAA, buffer->size());
  r = dx470::BuildLcdImage(*param, *buffer);
  EXPECT_EQ(r.status, ImageStatus::TooLarge);
  EXPECT_TRUE(FAILED(r.hr()));
  EXPECT_NE(std::string(r.text()), "");
  EXPECT_EQ(std::memcmp(before.get(), param.get(), sizeof(dx470::PARAM)), 0);
  for (uint8_t b : *buffer) ASSERT_EQ(b, 0xAA);
}

TEST_F(LcdImage, AFontWithAnImpossibleGlyphIsRefusedByNumber) {
  param->Lcd.Fonts[1].Glyphs[1].Width = 41;
  const dx470::ImageResult r = dx470::BuildLcdImage(*param, *buffer);
  EXPECT_EQ(r.status, ImageStatus::BadFont2);
  EXPECT_EQ(r.hr(), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
}

TEST_F(LcdImage, ExpandRefusesFontsOutsideTheBufferAndKeepsTheConfiguration) {
  const dx470::ImageResult built = dx470::BuildLcdImage(*param, *buffer);
  ASSERT_TRUE(built.ok());
  auto target = std::make_unique<dx470::PARAM>();
  std::memset(target.get(), 0x11, sizeof(dx470::PARAM));
  auto untouched = std::make_unique<dx470::PARAM>(*target);

  // One byte short: the last glyph of font 2 is incomplete.
  EXPECT_EQ(dx470::BuildLcdImage(buffer->data(), 34 + built.length - 1, *target).status,
            ImageStatus::BadImage);
  // Font 2's offset points past the end of the image.
  base::WriteBE16(buffer->data() + 34 + 8, uint16_t(built.length + 5));
  EXPECT_EQ(dx470::BuildLcdImage(buffer->data(), 34 + built.length, *target).status, ImageStatus::BadImage);
  // Shorter than the fixed part.
  EXPECT_EQ(dx470::BuildLcdImage(buffer->data(), 3000, *target).status, ImageStatus::BadImage);
  EXPECT_EQ(std::memcmp(untouched.get(), target.get(), sizeof(dx470::PARAM)), 0);
}

}  // namespace
