// Rows of the message list control against expected pixels.
#include "editor/message_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "fake_services.h"
#include "pixels.h"

namespace {

using editor::CMessageListBox;

class MessageList : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetServices(&services);
    std::memset(param.get(), 0, sizeof *param);
    // Font 1: 'A' a 10 x 3 block, default 'A'; font 2: 'A' a single pixel.
    for (int f = 0; f < 2; ++f) {
      dx470::ZEICHENSATZ& font = param->Lcd.Fonts[f];
      font.Height = 3;
      font.First = font.Last = font.DefaultChar = 'A';
      font.TabChar = 9;
      font.ReplacementChar = 2;
    }
    dx470::ZEICHEN& a = param->Lcd.Fonts[0].Glyphs[0];
    a.Width = 10;
    a.Height = 3;
    for (int r = 0; r < 3; ++r) a.Bitmap[r] = 0xFF, a.Bitmap[20 + r] = 0xC0;
    dx470::ZEICHEN& dot = param->Lcd.Fonts[1].Glyphs[0];
    dot.Width = dot.Height = 1;
    dot.Bitmap[0] = 0x80;
    param->MessageKind[0] = 1;
  }
  void TearDown() override { ui::SetServices(nullptr); }

  gfx::Bitmap Row(bool selected) {
    gfx::Bitmap b(385, CMessageListBox::kRowHeight);
    list.DrawItem(0, selected, b);
    return b;
  }

  testui::FakeFontServices services;
  std::unique_ptr<dx470::PARAM> param = std::make_unique<dx470::PARAM>();
  CMessageListBox list{param.get()};
};

TEST_F(MessageList, RowShowsTheDeviceTextAndTheColumnsInTheBoldListFont) {
  list.SetRow(0, true, 1, "AA", "ab", "c d");
  gfx::Bitmap b = Row(false);
  // Font 2's one-pixel glyphs at x 3 and 4, on the item's top row.
  EXPECT_EQ(pixels::Picture(pixels::Crop(b, {0, 0, 8, 2})), "...##...\n........\n");
  // Letters of the bold face the list asks for: two-column bars, 5 pixels
  // apart, rows 4..12.
  EXPECT_EQ(services.lastWeight, 700);
  const std::string bold = pixels::Picture(pixels::Crop(b, {139, 0, 151, 17}));
  EXPECT_EQ(bold,
            "............\n"
            "............\n"
            "............\n"
            "............\n"
            ".##...##....\n"
            ".##...##....\n"
            ".##...##....\n"
            ".##...##....\n"
            ".##...##....\n"
            ".##...##....\n"
            ".##...##....\n"
            ".##...##....\n"
            ".##...##....\n"
            "............\n"
            "............\n"
            "............\n"
            "............\n");
  // "c d": the bold blank is 4 pixels wide.
  const std::string send = pixels::Picture(pixels::Crop(b, {265, 6, 277, 7}));
  EXPECT_EQ(send, "##.......##.\n");
}

TEST_F(MessageList, SelectedRowIsWhiteOnTheHighlight) {
  list.SetRow(0, true, 0, "A", "a", "");
  gfx::Bitmap b = Row(true);
  EXPECT_EQ(pixels::Picture(pixels::Crop(b, {0, 0, 15, 4})),
            "NNN..........NN\n"
            "NNN..........NN\n"
            "NNN..........NN\n"
            "NNNNNNNNNNNNNNN\n");
  EXPECT_EQ(b.Get(140, 6), gfx::kWhite);
  EXPECT_EQ(b.Get(384, 16), ui::ClassicColors().highlight);
}

TEST_F(MessageList, LongTextsAreCutAtTheLastWholeCharacter) {
  // Ten-pixel glyphs from x 3: the twelfth ends at 123, a thirteenth would
  // pass 132.
  list.SetRow(0, true, 0, std::string(30, 'A'), std::string(30, 'x'), {});
  gfx::Bitmap b = Row(false);
  EXPECT_EQ(b.Get(122, 0), gfx::kBlack);
  for (int x = 123; x < 140; ++x) EXPECT_EQ(b.Get(x, 0), gfx::kWhite) << x;
  // Five-pixel bold letters: 24 fill the 120 pixels of the column exactly.
  EXPECT_EQ(b.Get(140 + 23 * 5 + 1, 6), gfx::kBlack);
  EXPECT_EQ(b.Get(260, 6), gfx::kWhite);
  EXPECT_EQ(b.Get(261, 6), gfx::kWhite);
}

TEST_F(MessageList, EmptySlotsAndUnknownRowsDrawNoDeviceText) {
  list.SetRow(0, false, 0, "AAA", {}, {});
  gfx::Bitmap b = Row(false);
  for (int x = 0; x < 385; ++x) ASSERT_EQ(b.Get(x, 1), gfx::kWhite);
  // A damaged font index falls back to font 1; rows past 16 are ignored.
  list.SetRow(0, true, 7, "A", {}, {});
  EXPECT_EQ(Row(false).Get(12, 2), gfx::kBlack);
  list.SetRow(17, true, 0, "A", {}, {});
  gfx::Bitmap untouched(10, 17, gfx::Rgb(1, 2, 3));
  list.DrawItem(17, false, untouched);
  EXPECT_EQ(untouched.Get(0, 0), gfx::Rgb(1, 2, 3));
}

TEST_F(MessageList, CharactersAreRasterisedOnce) {
  list.SetRow(0, true, 0, "", "aaaa", "aaaa");
  Row(false);
  Row(true);
  EXPECT_EQ(services.rasterised, 1);
}

}  // namespace
