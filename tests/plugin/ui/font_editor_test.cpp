// The font editor on a copy of the built-in default font (codes 32..255,
// height 16, default character 33), driven by UI scripts.
#include "editor/font_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "data/defaults.h"
#include "data/fontfile.h"
#include "temp_home.h"
#include "ui/script.h"
#include "ui/services.h"

namespace {

using editor::FontEditorDialog;

class FontEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    dx470::InitBlob(*blob, "Text?");
    *font = Param().Lcd.Fonts[0];
  }
  dx470::PARAM& Param() { return blob->Current; }
  int Run(const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out;
    auto services = ui::MakeScriptedServices(in, out);
    ui::SetServices(services.get());  // the character editor's too
    dialog = std::make_unique<FontEditorDialog>(*font, 0, Param());
    int result = dialog->DoModal(*services);
    ui::SetServices(nullptr);
    ok = services->Finish();
    report = out.str();
    return result;
  }
  static std::string Select(int combo, int code) {
    return "select " + std::to_string(combo) + " " + std::to_string(code - 5) + "\n";
  }
  bool SameGlyph(const dx470::ZEICHEN& a, const dx470::ZEICHEN& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
  }

  std::unique_ptr<dx470::TYPE_DX470_BLOB_COMPLETE> blob = std::make_unique<dx470::TYPE_DX470_BLOB_COMPLETE>();
  std::unique_ptr<dx470::ZEICHENSATZ> font = std::make_unique<dx470::ZEICHENSATZ>();
  std::unique_ptr<FontEditorDialog> dialog;
  bool ok = false;
  std::string report;
  testsupport::TempDir dir;
};

TEST_F(FontEditor, OpensOnTheFontAndMovingTheFirstCharacterKeepsEveryCodesGlyph) {
  const auto original = std::make_unique<dx470::ZEICHENSATZ>(*font);
  ASSERT_EQ(font->First, 32);
  EXPECT_EQ(Run("expect-dialog 212\nexpect-title \"Edit font number 1\"\nexpect-text 321 \"ASCII 32\"\n"
                "expect-text 324 \"ASCII 255\"\nexpect-text 323 \"16\"\nexpect-text 322 \"ASCII 33\"\n" +
                Select(321, 33) + "expect-text 321 \"ASCII 33\"\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(font->First, 33);
  EXPECT_TRUE(SameGlyph(font->Glyphs[0], original->Glyphs[1]));  // '!' stays '!'
  EXPECT_TRUE(SameGlyph(font->Glyphs[100], original->Glyphs[101]));
  // The last glyph is empty (only the font height, set for every glyph).
  EXPECT_EQ(font->Glyphs[255].Width, 0);
  EXPECT_EQ(font->Glyphs[255].Height, 16);
  const uint8_t zeros[100] = {};
  EXPECT_EQ(std::memcmp(font->Glyphs[255].Bitmap, zeros, sizeof zeros), 0);
}

TEST_F(FontEditor, RangeChecksReportAndPutTheCombosBack) {
  // The widest choice, 5..255, is accepted (the default character moved in first).
  EXPECT_EQ(Run(Select(321, 5) + "expect-text 321 \"ASCII 5\"\nok\n"), ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(font->First, 5);
  EXPECT_EQ(font->Last, 255);

  // A default character outside the range; a last character below the first.
  SetUp();
  EXPECT_EQ(Run(Select(322, 31) + "expect-text 322 \"ASCII 33\"\n" + Select(324, 20) +
                "expect-text 324 \"ASCII 255\"\ncancel\n"),
            ui::IDCANCEL);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(report,
            "box: Warning: The default character value is out of range -> ok (default)\n"
            "box: Warning: A maximum of 256 characters is possible -> ok (default)\n");
}

TEST_F(FontEditor, ARefusedFirstCharacterLeavesHeaderAndGlyphsTogether) {
  const auto original = std::make_unique<dx470::ZEICHENSATZ>(*font);
  // 34 would leave the default character 33 outside the range.
  EXPECT_EQ(Run(Select(321, 34) + "expect-text 321 \"ASCII 32\"\nok\n"), ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(report, "box: Warning: The default character value is out of range -> ok (default)\n");
  EXPECT_EQ(std::memcmp(font.get(), original.get(), sizeof *font), 0);
}

TEST_F(FontEditor, HeightGoesToEveryGlyphAndCancelKeepsNothing) {
  EXPECT_EQ(Run("select 323 2\nok\n"), ui::IDOK);
  EXPECT_EQ(font->Height, 10);
  EXPECT_EQ(font->Glyphs[200].Height, 10);
}

TEST_F(FontEditor, ExportThenImportGivesTheSameFontAndBadFilesChangeNothing) {
  const std::string path = dir.File("font.lft");
  font->Glyphs[40].Bitmap[3] = 0xAA;  // something of our own
  const auto original = std::make_unique<dx470::ZEICHENSATZ>(*font);
  EXPECT_EQ(Run("file \"" + path + "\"\nclick 334\nexpect-title \"Edit font number 1 - " + path + "\"\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  // Import into the other font.
  *font = Param().Lcd.Fonts[1];
  EXPECT_EQ(Run("file \"" + path + "\"\nclick 333\nexpect-text 323 \"16\"\nok\n"), ui::IDOK);
  EXPECT_TRUE(ok) << report;
  for (int k = 0; k <= original->Last - original->First; ++k)
    EXPECT_TRUE(SameGlyph(font->Glyphs[k], original->Glyphs[k])) << k;
  EXPECT_EQ(font->First, original->First);

  // One changed byte: the checksum no longer matches.
  std::vector<char> bytes;
  {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  bytes[100] ^= 1;
  std::ofstream(dir.File("bad.lft"), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  const auto before = std::make_unique<dx470::ZEICHENSATZ>(*font);
  EXPECT_EQ(Run("file \"" + dir.File("bad.lft") + "\"\nclick 333\nfile \"" + dir.File("none.lft") +
                "\"\nclick 333\nfile \"" + dir.Path() + "/no/such/folder/x.lft\"\nclick 334\nok\n"),
            ui::IDOK);
  EXPECT_EQ(report, "open: Import font -> \"" + dir.File("bad.lft") +
                        "\"\n"
                        "box: Warning: File does not contain valid data!\\n\\nNo data will be read from "
                        "file. -> ok (default)\n"
                        "open: Import font -> \"" +
                        dir.File("none.lft") +
                        "\"\n"
                        "box: Warning: Failed to open file -> ok (default)\n"
                        "save: Export font -> \"" +
                        dir.Path() +
                        "/no/such/folder/x.lft\"\n"
                        "box: Error: Failed to save file -> ok (default)\n");
  EXPECT_EQ(std::memcmp(font.get(), before.get(), sizeof *font), 0);
}

TEST_F(FontEditor, DoubleClickOpensTheCharacterEditorOnAvailableCodesOnly) {
  const int cell = editor::CharacterGrid::CellSize(font->Height);
  auto at = [&](int code) {
    return std::to_string(2 + (code % 32) * cell + 3) + " " + std::to_string(2 + (code / 32) * cell + 3);
  };
  EXPECT_EQ(Run("mouse 310 down " + at(3) + "\nmouse 310 dblclick " + at(3) +
                "\nexpect-dialog 212\n"
                "mouse 310 down " +
                at(65) + "\nmouse 310 dblclick " + at(65) +
                "\nexpect-dialog 213\n"
                "cancel\nexpect-dialog 212\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
}

TEST_F(FontEditor, GetCopyTakesTheOtherFont) {
  Param().Lcd.Fonts[1].Height = 12;
  for (dx470::ZEICHEN& g : Param().Lcd.Fonts[1].Glyphs) g.Height = 12;
  Param().Lcd.Fonts[1].Glyphs[7].Bitmap[0] = 0x81;
  EXPECT_EQ(Run("click 335\nexpect-dialog 214\nexpect-text 340 \"data to 1. font\"\nexpect-enabled 1 0\n"
                "select 338 0\nexpect-text 338 \"2. font\"\nok\nexpect-text 323 \"12\"\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(std::memcmp(font.get(), &Param().Lcd.Fonts[1], sizeof *font), 0);
}

}  // namespace
