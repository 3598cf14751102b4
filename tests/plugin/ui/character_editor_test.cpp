// The character editor driven by UI scripts: pixels toggled by click and
// drag, the width handle, the cursor shapes, Copy and Paste through the
// process's clipboard, refusals, OK and Cancel, the pixel editor's picture
// and the pixel layout for a narrow and a wide glyph.
#include "editor/character_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <sstream>

#include "data/dx470data.h"
#include "editor/main_dialog.h"
#include "pixels.h"
#include "ui/script.h"

namespace {

using editor::CharacterEditorDialog;
using editor::PixelEditor;
using Dlg = CharacterEditorDialog;

// Client x (or y) of the middle of cell `n`.
int At(int n) { return PixelEditor::kMargin + n * PixelEditor::kCellSize + 3; }
std::string Mouse(const char* action, int column, int row) {
  return "mouse 1000 " + std::string(action) + " " + std::to_string(At(column)) + " " +
         std::to_string(At(row)) + "\n";
}

class CharacterEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    editor::ResetCharacterClipboard();
    std::memset(font.get(), 0, sizeof *font);
    SetHeight(8);
    font->First = 32;
    font->Last = 127;
    font->DefaultChar = 33;
    font->TabChar = 40;
    font->ReplacementChar = 41;
  }
  void SetHeight(int height) {
    font->Height = uint8_t(height);
    for (dx470::ZEICHEN& g : font->Glyphs) g = {5, uint8_t(height), {}};
  }
  dx470::ZEICHEN& Glyph(int code) { return font->Glyphs[code - font->First]; }

  // Runs the editor on `code` with `script`; the dialog's result.
  int Run(int code, const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out;
    auto services = ui::MakeScriptedServices(in, out);
    dialog = std::make_unique<CharacterEditorDialog>();
    EXPECT_TRUE(dialog->SetUp(*font, code));
    const int result = dialog->DoModal(*services);
    scriptOk = services->Finish();
    report = out.str();
    return result;
  }
  ui::CursorShape Cursor() const { return dialog->Control(Dlg::kEditorId)->cursor; }

  std::unique_ptr<dx470::ZEICHENSATZ> font = std::make_unique<dx470::ZEICHENSATZ>();
  std::unique_ptr<CharacterEditorDialog> dialog;
  bool scriptOk = false;
  std::string report;
};

TEST_F(CharacterEditor, PixelAddressingKeepsInsideTheGlyphAndTheRecord) {
  dx470::ZEICHEN g{12, 8, {}};
  EXPECT_TRUE(PixelEditor::SetPixel(g, 9, 3, true));
  EXPECT_EQ(g.Bitmap[20 + 3], 0x40);
  EXPECT_TRUE(PixelEditor::PixelAt(g, 9, 3));
  EXPECT_TRUE(PixelEditor::SetPixel(g, 7, 0, true));
  EXPECT_EQ(g.Bitmap[0], 0x01);
  EXPECT_TRUE(PixelEditor::SetPixel(g, 9, 3, false));
  EXPECT_EQ(g.Bitmap[23], 0);
  // Beyond the width or height nothing is set; a damaged size byte never
  // reaches past the 100 bitmap bytes.
  EXPECT_FALSE(PixelEditor::SetPixel(g, 12, 0, true));
  EXPECT_FALSE(PixelEditor::SetPixel(g, 0, 8, true));
  EXPECT_FALSE(PixelEditor::SetPixel(g, -1, 0, true));
  g = {200, 200, {}};
  EXPECT_FALSE(PixelEditor::SetPixel(g, 40, 0, true));
  EXPECT_FALSE(PixelEditor::SetPixel(g, 0, 20, true));
  EXPECT_TRUE(PixelEditor::SetPixel(g, 39, 19, true));
  EXPECT_EQ(g.Bitmap[99], 0x01);

  // Editable width: the glyph's width or twice the rows, at most 40.
  PixelEditor e;
  e.SetGlyph({5, 8, {}}, 8);
  EXPECT_EQ(e.EditableWidth(), 16);
  EXPECT_EQ(e.PixelWidth(), 17 * 8 + 8);
  EXPECT_EQ(e.PixelHeight(), 8 * 8 + 8);
  e.SetGlyph({20, 8, {}}, 8);
  EXPECT_EQ(e.EditableWidth(), 20);
  e.SetGlyph({200, 20, {}}, 20);
  EXPECT_EQ(e.EditableWidth(), 40);
  // Cells: (x - 2) / 8, clamped; the handle column right of the editable
  // width is reachable.
  e.SetGlyph({5, 8, {}}, 8);
  EXPECT_EQ(e.CellAt(-50, -50), (PixelEditor::Cell{0, 0}));
  EXPECT_EQ(e.CellAt(9, 10), (PixelEditor::Cell{0, 1}));
  EXPECT_EQ(e.CellAt(10, 9), (PixelEditor::Cell{1, 0}));
  EXPECT_EQ(e.CellAt(5000, 5000), (PixelEditor::Cell{16, 7}));
  // Switching the wide mode off cuts the glyph to the rows.
  dx470::ZEICHEN wide{12, 8, {}};
  wide.Bitmap[20] = 0x80;  // column 8
  wide.Bitmap[0] = 0x81;   // columns 0 and 7
  e.SetGlyph(wide, 8);
  e.SetWideMode(false);
  EXPECT_EQ(e.EditableWidth(), 8);
  EXPECT_EQ(e.Glyph().Width, 8);
  EXPECT_EQ(e.Glyph().Bitmap[20], 0);
  EXPECT_EQ(e.Glyph().Bitmap[0], 0x81);
  e.SetWideMode(true);
  EXPECT_EQ(e.EditableWidth(), 16);
}

TEST_F(CharacterEditor, ClickAndDragTogglePixelsInsideTheGlyphOnly) {
  const std::string script = Mouse("down", 0, 0) + Mouse("move", 0, 0) +  // the same cell: nothing
                             Mouse("move", 1, 0) + Mouse("move", 1, 1) + Mouse("up", 1, 1) +
                             Mouse("move", 3, 3) +                      // no button: nothing
                             Mouse("down", 1, 0) + Mouse("up", 1, 0) +  // off again
                             Mouse("down", 6, 0) + Mouse("up", 6, 0) +  // beyond the width
                             "expect-text 1004 \"x: 6 - y: 0\"\n" +
                             // A double click toggles once; its release leaves the cursor.
                             Mouse("down", 2, 2) + Mouse("up", 2, 2) + Mouse("dblclick", 2, 2) +
                             Mouse("up", 4, 5) + "expect-text 1004 \"x: 2 - y: 2\"\nok\n";
  EXPECT_EQ(Run('A', script), ui::IDOK);
  EXPECT_TRUE(scriptOk) << report;
  const dx470::ZEICHEN& g = Glyph('A');
  EXPECT_EQ(g.Width, 5);
  EXPECT_EQ(g.Bitmap[0], 0x80);
  EXPECT_EQ(g.Bitmap[1], 0x40);
  EXPECT_EQ(g.Bitmap[2], 0x20);
  for (int i = 3; i < 100; ++i) EXPECT_EQ(g.Bitmap[i], 0) << i;
  EXPECT_EQ((dialog->Editor().CursorCell()), (PixelEditor::Cell{2, 2}));
}

TEST_F(CharacterEditor, TheWidthHandleSetsTheWidthNeverBelowOneAndShowsTheResizeCursor) {
  Glyph('A').Bitmap[0] = 0xF8;  // columns 0..4
  // Dragged to column 3, then far left: width 1, the cut-off pixels cleared.
  EXPECT_EQ(Run('A', Mouse("down", 5, 0) + Mouse("move", 3, 0) + "mouse 1000 move -40 5\n" +
                         "mouse 1000 up -40 5\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_EQ(Glyph('A').Width, 1);
  EXPECT_EQ(Glyph('A').Bitmap[0], 0x80);
  // Released away from the new handle: the normal arrow.
  EXPECT_EQ(Cursor(), ui::CursorShape::Arrow);

  // Far right: the editable width; pixels kept.
  Glyph('A') = {5, 8, {0xF8}};
  EXPECT_EQ(Run('A', Mouse("down", 5, 0) + "mouse 1000 move 5000 5\nmouse 1000 up 5000 5\nok\n"), ui::IDOK);
  EXPECT_EQ(Glyph('A').Width, 16);
  EXPECT_EQ(Glyph('A').Bitmap[0], 0xF8);

  // Over the width column the resize arrow, elsewhere the normal one;
  // while dragging it stays wherever the pointer is.
  Glyph('A') = {5, 8, {}};
  Run('A', Mouse("move", 5, 3) + "cancel\n");
  EXPECT_EQ(Cursor(), ui::CursorShape::SizeWE);
  Run('A', Mouse("move", 5, 3) + Mouse("move", 4, 3) + "cancel\n");
  EXPECT_EQ(Cursor(), ui::CursorShape::Arrow);
  Run('A', Mouse("down", 5, 3) + Mouse("move", 0, 3) + "cancel\n");
  EXPECT_TRUE(dialog->Editor().DraggingWidth());
  EXPECT_EQ(dialog->Editor().Glyph().Width, 1);
  EXPECT_EQ(Cursor(), ui::CursorShape::SizeWE);
  EXPECT_EQ(Glyph('A').Width, 5);  // cancelled
}

TEST_F(CharacterEditor, PasteIsDisabledUntilTheFirstCopyAndTheMainDialogResetsTheClipboard) {
  Glyph('A') = {7, 8, {0x12, 0x34}};
  EXPECT_EQ(Run('A', "expect-enabled 1002 0\nclick 1001\nexpect-enabled 1002 1\ncancel\n"), ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_TRUE(editor::CharacterClipboardHoldsGlyph());
  EXPECT_EQ(std::memcmp(&editor::CharacterClipboard(), &Glyph('A'), sizeof(dx470::ZEICHEN)), 0);

  // Another dialog pastes it; the rest of the font stays.
  EXPECT_EQ(Run('B', "expect-enabled 1002 1\nclick 1002\nok\n"), ui::IDOK);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_EQ(std::memcmp(&Glyph('B'), &Glyph('A'), sizeof(dx470::ZEICHEN)), 0);
  EXPECT_EQ(Glyph('C').Width, 5);

  // A new main dialog empties the clipboard: Paste is disabled again.
  auto data = std::make_unique<CDX470Data>();
  editor::DX470MainDialog main(*data);
  const dx470::ZEICHEN& clip = editor::CharacterClipboard();
  EXPECT_EQ(clip.Width, 4);
  EXPECT_EQ(clip.Height, 1);
  for (uint8_t b : clip.Bitmap) EXPECT_EQ(b, 0);
  EXPECT_EQ(Run('B', "expect-enabled 1002 0\ncancel\n"), ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
}

TEST_F(CharacterEditor, PastingAWiderGlyphWidensTheEditorAndTheDialog) {
  Glyph('C') = {40, 8, {}};
  Glyph('C').Bitmap[80] = 0x01;  // column 39
  EXPECT_EQ(Run('C', "click 1001\ncancel\n"), ui::IDCANCEL);
  EXPECT_EQ(Run('B', "click 1002\n" + Mouse("down", 38, 0) + Mouse("up", 38, 0) + "ok\n"), ui::IDOK);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_EQ(dialog->Editor().EditableWidth(), 40);
  EXPECT_EQ(dialog->ControlRect(Dlg::kEditorId).width(), 41 * 8 + 8);
  EXPECT_EQ(dialog->WindowWidth(), 336 + 76);
  EXPECT_EQ(Glyph('B').Width, 40);
  EXPECT_EQ(Glyph('B').Bitmap[80], 0x03);  // column 38 drawn beside the pasted 39
}

TEST_F(CharacterEditor, TabulatorReplacementAndCodesOutsideTheFontAreRefused) {
  CharacterEditorDialog d;
  for (int code : {40, 41, 31, 128, -1, 256, 0}) EXPECT_FALSE(d.SetUp(*font, code)) << code;
  EXPECT_TRUE(d.SetUp(*font, 32));
  EXPECT_TRUE(d.SetUp(*font, 127));
  EXPECT_TRUE(d.SetUp(*font, 33));  // the default character may be edited

  // Refused: nothing is shown, so an empty script is satisfied.
  std::istringstream none("");
  std::ostringstream out;
  auto services = ui::MakeScriptedServices(none, out);
  ui::SetServices(services.get());
  EXPECT_EQ(editor::RunCharacterEditor(*font, 40), ui::IDCANCEL);
  EXPECT_EQ(editor::RunCharacterEditor(*font, 200), ui::IDCANCEL);
  EXPECT_TRUE(services->Finish()) << out.str();
  EXPECT_EQ(out.str(), "");
  std::istringstream shown("expect-dialog 213\n" + Mouse("down", 0, 0) + "ok\n");
  services = ui::MakeScriptedServices(shown, out);
  ui::SetServices(services.get());
  EXPECT_EQ(editor::RunCharacterEditor(*font, 'A'), ui::IDOK);
  ui::SetServices(nullptr);
  EXPECT_TRUE(services->Finish()) << out.str();
  EXPECT_EQ(Glyph('A').Bitmap[0], 0x80);
}

TEST_F(CharacterEditor, OkWritesTheGlyphBackAtItsIndexAndCancelDoesNot) {
  font->First = 60;  // 'A' is glyph 5
  auto before = std::make_unique<dx470::ZEICHENSATZ>(*font);
  const std::string edit = Mouse("down", 1, 1) + Mouse("up", 1, 1);
  EXPECT_EQ(Run('A',
                "expect-dialog 213\nexpect-title \"Edit character -  65 ('A' on keyboard)\"\n"
                "expect-text 1 \"OK\"\nexpect-text 1001 \"&Copy\"\nexpect-text 1002 \"&Paste\"\n"
                "expect-visible 1003 0\nexpect-visible 1004 0\nclick 1005\n" +
                    edit + "cancel\n"),
            ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_NE(report.find(" #740"), std::string::npos) << report;
  EXPECT_EQ(std::memcmp(font.get(), before.get(), sizeof *font), 0);

  EXPECT_EQ(Run('A', edit + "ok\n"), ui::IDOK);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_EQ(font->Glyphs[5].Bitmap[1], 0x40);
  font->Glyphs[5] = before->Glyphs[5];
  EXPECT_EQ(std::memcmp(font.get(), before.get(), sizeof *font), 0);
}

// Rows of a pixel editor one row high with three columns (two editable and
// the handle): blank, a grid line and the cell row, each 32 pixels.
std::string EditorPicture(const std::string& line, const std::string& cells) {
  std::string s;
  for (int y = 0; y < 16; ++y)
    s += (y < 2 || y > 10 ? std::string(32, 'w') : y == 2 || y == 10 ? line : cells) + "\n";
  return s;
}

TEST_F(CharacterEditor, PaintsPixelsGridAndCursorOnTheWindowColour) {
  SetHeight(1);
  Glyph('A') = {2, 1, {0x40}};  // pixel (1, 0)
  const ui::RenderHooks saved = ui::GetRenderHooks();
  ui::RenderHooks hooks = saved;
  hooks.colors = [] {
    ui::SystemColors c = ui::ClassicColors();
    c.window = gfx::Rgb(255, 255, 224);
    return c;
  };
  ui::SetRenderHooks(hooks);
  // The scripted services stay installed, so that painting after the run
  // still asks them for the palette.
  auto paint = [&](const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out;
    auto services = ui::MakeScriptedServices(in, out);
    ui::SetServices(services.get());
    dialog = std::make_unique<CharacterEditorDialog>();
    EXPECT_TRUE(dialog->SetUp(*font, 'A'));
    dialog->DoModal(*services);
    EXPECT_TRUE(services->Finish()) << out.str();
    gfx::Bitmap b = dialog->PaintControl(Dlg::kEditorId);
    ui::SetServices(nullptr);
    return b;
  };
  const gfx::Bitmap start = paint("cancel\n");
  // The cursor moved onto the handle column (a width drag: nothing toggled).
  const gfx::Bitmap handle = paint(Mouse("down", 2, 0) + "cancel\n");
  ui::SetRenderHooks(saved);

  const std::map<gfx::Color, char> names = {{gfx::Rgb(255, 255, 224), 'w'}, {PixelEditor::kCursorColor, 'c'}};
  ASSERT_EQ(start.width(), 32);
  ASSERT_EQ(start.height(), 16);
  EXPECT_EQ(pixels::Picture(start, names),
            EditorPicture("wwcccccccccggggggggggggggggwwwww", "wwcwwwwwwwc#######gwwwwwwwgwwwww"));
  EXPECT_EQ(pixels::Picture(handle, names),
            EditorPicture("wwggggggggggggggggcccccccccwwwww", "wwgwwwwwwwg#######cwwwwwwwcwwwww"));
}

TEST_F(CharacterEditor, LayoutCentresTheEditorAndPlacesTheButtonsAroundIt) {
  struct Case {
    int height, width;
    gfx::Rect editor;
    int copyX, okX, buttonsY, windowWidth, windowHeight;
  };
  const Case cases[] = {
      // Narrow: 16 editable columns, the inner width is the buttons' 301.
      {8, 5, {113, 95, 113 + 144, 95 + 72}, 88, 35, 167 + 40, 377, 167 + 120},
      // Wide: 40 columns of 20 rows, 336 pixels.
      {20, 40, {35, 95, 35 + 336, 95 + 168}, 106, 52, 263 + 40, 412, 263 + 120},
  };
  for (const Case& c : cases) {
    SetHeight(c.height);
    Glyph('A').Width = uint8_t(c.width);
    EXPECT_EQ(Run('A', "expect-visible 1003 0\nexpect-visible 1004 0\ncancel\n"), ui::IDCANCEL);
    EXPECT_TRUE(scriptOk) << report;
    const gfx::Rect editorRect = dialog->ControlRect(Dlg::kEditorId);
    EXPECT_EQ(editorRect.left, c.editor.left) << c.height;
    EXPECT_EQ(editorRect.top, c.editor.top);
    EXPECT_EQ(editorRect.right, c.editor.right);
    EXPECT_EQ(editorRect.bottom, c.editor.bottom);
    const struct {
      int id, x, y;
    } buttons[] = {{Dlg::kCopyId, c.copyX, 30},
                   {Dlg::kPasteId, c.copyX + 107, 30},
                   {ui::IDOK, c.okX, c.buttonsY},
                   {ui::IDCANCEL, c.okX + 107, c.buttonsY},
                   {Dlg::kHelpId, c.okX + 214, c.buttonsY}};
    for (const auto& b : buttons) {
      const gfx::Rect r = dialog->ControlRect(b.id);
      EXPECT_EQ(r.left, b.x) << b.id;
      EXPECT_EQ(r.top, b.y) << b.id;
      EXPECT_EQ(r.width(), 87) << b.id;
      EXPECT_EQ(r.height(), 23) << b.id;
    }
    // The window, frame included, is the inner width + 76 wide and the
    // editor's bottom + 120 high; the runner centres it.
    EXPECT_EQ(dialog->WindowWidth(), c.windowWidth);
    EXPECT_EQ(dialog->WindowHeight(), c.windowHeight);
  }
}

}  // namespace
