// The character grid and the picker on the built-in default font (codes
// 32..255, tab marker 1, value marker 2), driven by UI scripts.
#include "editor/character_picker.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "data/defaults.h"
#include "editor/characters.h"
#include "pixels.h"
#include "ui/script.h"

namespace {

using editor::CharacterGrid;
using editor::CharacterPickerDialog;
namespace id = editor::id;

class CharacterPicker : public ::testing::Test {
 protected:
  void SetUp() override { dx470::InitBlob(*blob, "Text?"); }
  const dx470::ZEICHENSATZ& Font() const { return blob->Current.Lcd.Fonts[0]; }
  int Run(ui::Dialog& d, const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out;
    auto services = ui::MakeScriptedServices(in, out);
    int result = d.DoModal(*services);
    ok = services->Finish();
    report = out.str();
    return result;
  }
  std::unique_ptr<dx470::TYPE_DX470_BLOB_COMPLETE> blob = std::make_unique<dx470::TYPE_DX470_BLOB_COMPLETE>();
  bool ok = false;
  std::string report;
};

TEST_F(CharacterPicker, AvailabilityOfCodesInTheOrderOfTheRules) {
  ASSERT_EQ(Font().First, 32);
  EXPECT_EQ(editor::CharacterText(Font(), 0), "  0 - end of string character, not available");
  EXPECT_EQ(editor::CharacterText(Font(), 1), "  1 - tabulator, not available");
  EXPECT_EQ(editor::CharacterText(Font(), 2), "  2 - replacement character, not available");
  EXPECT_EQ(editor::CharacterText(Font(), 3), "  3 - reserved, not available");
  EXPECT_EQ(editor::CharacterText(Font(), 31), " 31 - out of defined range, not available");
  EXPECT_EQ(editor::CharacterText(Font(), 65), " 65 ('A' on keyboard) - available");
  EXPECT_EQ(editor::CharacterText(Font(), 0xE4), "228 ('\xC3\xA4' on keyboard) - available");
  dx470::ZEICHENSATZ font = Font();
  font.DefaultChar = 'B';
  EXPECT_EQ(editor::CharacterAvailability(font, 'B').text, "- default character, available");
  font.DefaultChar = font.TabChar;  // accepted by the font editor, yet never available
  EXPECT_FALSE(editor::CharacterAvailability(font, font.TabChar).available);
}

TEST_F(CharacterPicker, KeysMouseAndTheOkButtonFollowAvailability) {
  CharacterPickerDialog d(Font(), CharacterGrid::Mode::Picker, 1, 65);
  const int cell = CharacterGrid::CellSize(Font().Height);
  const std::string click31 = "mouse 310 down " + std::to_string(2 + 31 * cell + 3) + " 5\n";
  EXPECT_EQ(
      Run(d,
          "expect-dialog 211\nexpect-title \"Get character from 2. font import\"\n"
          "expect-text 312 \" 65 ('A' on keyboard) - available\"\nexpect-enabled 1 1\n"
          "key 310 Up\nexpect-text 310 \" 33 ('!' on keyboard) - default character, available\"\n"
          "key 310 Up\nkey 310 Up\nexpect-text 310 \"  1 - tabulator, not available\"\n"
          "expect-enabled 1 0\nkey 310 Left\nkey 310 Left\nkey 310 Left\nexpect-text 310 \"  0 - end of "
          "string character, not available\"\n"
          "key 310 End\nkey 310 Down\nkey 310 Right\nexpect-text 310 \"255 ('\xC3\xBF' on keyboard) - "
          "available\"\n" +
              click31 +
              "expect-text 312 \" 31 - out of defined range, not available\"\n"
              "mouse 310 down 5000 5000\nexpect-text 312 \"255 ('\xC3\xBF' on keyboard) - available\"\n"
              "mouse 310 down -5 -5\nexpect-enabled 1 0\ncancel\n"),
      ui::IDCANCEL);
  EXPECT_TRUE(ok) << report;
}

TEST_F(CharacterPicker, DoubleClickOnAnAvailableCodeActsAsOk) {
  const int cell = CharacterGrid::CellSize(Font().Height);
  auto at = [&](int code) {
    return std::to_string(2 + (code % 32) * cell + 3) + " " + std::to_string(2 + (code / 32) * cell + 3);
  };
  CharacterPickerDialog unavailable(Font(), CharacterGrid::Mode::Picker, 0);
  EXPECT_EQ(Run(unavailable, "mouse 310 down " + at(3) + "\nmouse 310 dblclick " + at(3) + "\ncancel\n"),
            ui::IDCANCEL);
  EXPECT_TRUE(ok) << report;
  CharacterPickerDialog d(Font(), CharacterGrid::Mode::Picker, 0);
  EXPECT_EQ(Run(d, "mouse 310 down " + at(66) + "\nmouse 310 dblclick " + at(66) + "\n"), ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(d.SelectedCode(), 66);
  EXPECT_TRUE(d.SelectedAvailable());
}

TEST_F(CharacterPicker, GridPaintsUnavailableCellsSelectionAndFrame) {
  CharacterGrid grid(CharacterGrid::Mode::Picker);
  grid.SetFont(&Font());
  grid.Select(33);
  const int h = Font().Height, cell = CharacterGrid::CellSize(h);
  gfx::Bitmap b(CharacterGrid::WidthFor(h), CharacterGrid::HeightFor(h));
  grid.Paint(b);
  const ui::SystemColors colors = ui::ClassicColors();
  EXPECT_EQ(b.Get(1, 1), gfx::kBlack);                                       // the lines
  EXPECT_EQ(b.Get(2 + cell / 2, 2 + cell / 2), colors.inactiveCaptionText);  // code 0
  // Code 32 (row 1, column 0), a blank: the window colour.
  EXPECT_EQ(b.Get(2 + cell / 2, 2 + cell + cell / 2), colors.window);
  // Code 33 selected: highlight inside its frame, the frame two pixels wide.
  const int x = 2 + cell, y = 2 + cell;
  EXPECT_EQ(b.Get(x + 1, y + 4), gfx::kBlack);
  EXPECT_EQ(b.Get(x + 2, y + 4), gfx::kBlack);
  EXPECT_EQ(b.Get(x + 3, y + 4), colors.highlight);
  // The '!' drawn selected: white pixels in the highlighted cell.
  int white = 0;
  for (int py = y; py < y + cell; ++py)
    for (int px = x; px < x + cell; ++px) white += b.Get(px, py) == gfx::kWhite;
  EXPECT_GT(white, 3);
}

}  // namespace
