// Painting and typing in the editor's font and text controls, in the core
// without a display: a full repaint of the character grid (256 cells of a
// 20-row font), a full repaint of the pixel editor on a 40-column glyph, and
// one keystroke in the message text field (insert, change notification,
// repaint). Peer in the same run: a solid fill of the same bitmap.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>

#include "data/defaults.h"
#include "editor/character_grid.h"
#include "editor/message_text_edit.h"
#include "editor/pixel_editor.h"
#include "measure.h"
#include "ui/dialog.h"
#include "ui/script.h"

namespace {

using bench::Measure;

// A dialog holding one text field, so that a keystroke takes its real way.
ui::DialogTemplate FieldTemplate() {
  ui::DialogTemplate t;
  t.id = 990;
  t.cx = 300;
  t.cy = 40;
  t.controls = {{100, ui::ControlKind::OwnerDraw, "", {5, 5, 280, 14}, ui::kTabStop}};
  return t;
}

class FieldDialog : public ui::Dialog {
 public:
  FieldDialog() : Dialog(FieldTemplate()) {}
  editor::CMessageTextEdit field;
  int changes = 0;

 protected:
  void OnNotify(int, int code, intptr_t) override {
    changes += code == editor::CMessageTextEdit::kChangeNotify;
  }
};

bool Report(const char* what, double ours, double fill) {
  const bool met = ours < 2.0;
  std::printf("%-44s %.4f ms  (target < 2 ms: %s; %.1f x a solid fill of %.4f ms)\n", what, ours,
              met ? "met" : "MISSED", fill > 0 ? ours / fill : 0.0, fill);
  return met;
}

}  // namespace

int main() {
  std::istringstream noScript;
  std::ostringstream report;
  auto services = ui::MakeScriptedServices(noScript, report);
  ui::SetServices(services.get());

  auto blob = std::make_unique<dx470::TYPE_DX470_BLOB_COMPLETE>();
  dx470::InitBlob(*blob, "Text?");
  dx470::ZEICHENSATZ& font = blob->Current.Lcd.Fonts[0];
  font.Height = 20;
  for (dx470::ZEICHEN& g : font.Glyphs) {
    g.Height = 20;
    std::memset(g.Bitmap, 0x5A, sizeof g.Bitmap);
  }
  bool met = true;

  editor::CharacterGrid grid(editor::CharacterGrid::Mode::FontEditor);
  grid.SetFont(&font);
  grid.Select(65);
  gfx::Bitmap gridBitmap(editor::CharacterGrid::WidthFor(20), editor::CharacterGrid::HeightFor(20));
  const double gridPaint = Measure(200, [&] { grid.Paint(gridBitmap); });
  const double gridFill = Measure(200, [&] {
    gridBitmap.FillRect({0, 0, gridBitmap.width(), gridBitmap.height()}, 0xFFFFFF);
  });
  met = Report("character grid, full repaint (20-row font):", gridPaint, gridFill) && met;

  editor::PixelEditor pixels;
  dx470::ZEICHEN wide = font.Glyphs[33];
  wide.Width = 40;
  pixels.SetGlyph(wide, 20);
  gfx::Bitmap pixelBitmap(pixels.PixelWidth(), pixels.PixelHeight());
  const double pixelPaint = Measure(200, [&] { pixels.Paint(pixelBitmap); });
  const double pixelFill = Measure(200, [&] {
    pixelBitmap.FillRect({0, 0, pixelBitmap.width(), pixelBitmap.height()}, 0xFFFFFF);
  });
  met = Report("pixel editor, full repaint (40 x 20 glyph):", pixelPaint, pixelFill) && met;

  // One keystroke: the character goes in, the parent hears of it and the
  // field is painted anew; Backspace takes it out again for the next round.
  FieldDialog dialog;
  dialog.Attach(100, dialog.field);
  dialog.field.SetFont(&font, 0);
  const uint8_t text[] = "Temperature outside";
  dialog.field.SetText(text, 30);
  dialog.SetFocus(100);
  dialog.UserKey(100, ui::Key::End, {});
  const double keystroke = Measure(500,
                                   [&] {
                                     dialog.UserChar(100, 'x');
                                     dialog.PaintControl(100);
                                     dialog.UserKey(100, ui::Key::Back, {});
                                   }) /
                           2;
  gfx::Bitmap fieldBitmap = dialog.PaintControl(100);
  const double fieldFill = Measure(500, [&] {
    fieldBitmap.FillRect({0, 0, fieldBitmap.width(), fieldBitmap.height()}, 0xFFFFFF);
  });
  met = Report("text field, one keystroke with repaint:", keystroke, fieldFill) && met;
  if (dialog.changes == 0) {
    std::printf("the keystrokes never reached the field\n");
    met = false;
  }
  ui::SetServices(nullptr);
  return met ? 0 : 1;
}
