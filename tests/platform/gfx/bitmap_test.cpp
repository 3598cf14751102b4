// Bitmap pixels, rectangle fills and blits, all clipped to the bitmap.
#include <gtest/gtest.h>

#include "gfx/bitmap.h"

namespace gfx {
namespace {

TEST(Bitmap, PixelsInsideAndOutside) {
  Bitmap b(4, 3, kWhite);
  b.Set(3, 2, 0xFF123456);  // the unused top byte is dropped
  EXPECT_EQ(b.Get(3, 2), 0x123456u);
  b.Set(4, 0, kBlack);
  b.Set(-1, 0, kBlack);
  EXPECT_EQ(b.Get(4, 0), 0u);
  EXPECT_TRUE(Bitmap(-2, 5).empty());
}

TEST(Bitmap, FillRectIsClipped) {
  Bitmap b(5, 5, kWhite);
  b.FillRect({-3, 3, 2, 10}, kBlack);
  int black = 0;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) black += b.Get(x, y) == kBlack;
  EXPECT_EQ(black, 4);  // columns 0..1, rows 3..4
  EXPECT_EQ(b.Get(1, 4), kBlack);
  b.FillRect({4, 4, 2, 2}, kBlack);  // empty rectangle
  EXPECT_EQ(b.Get(3, 3), kWhite);
}

TEST(Bitmap, BlitClipsSourceAndTarget) {
  Bitmap src(3, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) src.Set(x, y, Rgb(uint8_t(x), uint8_t(y), 9));
  Bitmap dst(4, 4, kWhite);
  dst.Blit(-1, 2, src);  // column 0 and row 2 of src fall outside
  EXPECT_EQ(dst.Get(0, 2), Rgb(1, 0, 9));
  EXPECT_EQ(dst.Get(1, 3), Rgb(2, 1, 9));
  EXPECT_EQ(dst.Get(2, 2), kWhite);
  EXPECT_EQ(dst.Get(0, 1), kWhite);

  Bitmap part(4, 4, kWhite);
  part.Blit(3, 3, src, {1, 1, 10, 10});  // source rectangle beyond src
  EXPECT_EQ(part.Get(3, 3), Rgb(1, 1, 9));
  part.Blit(10, 10, src);  // entirely outside: nothing
  part.Blit(0, 0, src, {-2, -2, 1, 1});
  EXPECT_EQ(part.Get(2, 2), Rgb(0, 0, 9));
  EXPECT_EQ(part.Get(1, 1), kWhite);
}

TEST(Bitmap, BlitWithinOneBitmapOverlapping) {
  Bitmap b(4, 1);
  for (int x = 0; x < 4; ++x) b.Set(x, 0, Color(x + 1));
  b.Blit(1, 0, b, {0, 0, 3, 1});
  EXPECT_EQ(b.Get(1, 0), 1u);
  EXPECT_EQ(b.Get(2, 0), 2u);
  EXPECT_EQ(b.Get(3, 0), 3u);
}

}  // namespace
}  // namespace gfx
