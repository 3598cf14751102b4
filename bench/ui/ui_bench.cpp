// A full refresh of the main dialog's list in the core, without a display:
// the 16 rows' texts built from PARAM and every row drawn into its bitmap,
// the message text in the device font and the type columns in the bold
// list font. Peers in the same run: filling the same bitmaps with a solid
// colour, and drawing the same column texts with the platform's rasteriser
// character by character, as a list without its own cache would.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "data/dx470data.h"
#include "data/positions.h"
#include "editor/main_dialog.h"
#include "editor/screen_font.h"
#include "measure.h"
#include "ui/script.h"
#ifdef DX47X_WITH_QT
#include "qtui/qtui.h"
#endif

namespace {

using bench::Measure;

struct RowTexts {
  std::string text, receive, send;
  int font = 0;
};

}  // namespace

int main() {
  std::istringstream noScript;
  std::ostringstream report;
  auto services = ui::MakeScriptedServices(noScript, report);
#ifdef DX47X_WITH_QT
  qtui::RegisterRenderHooks();  // the list font through Qt, offscreen
  const char* rasteriser = "Qt";
#else
  const char* rasteriser = "none (column texts are not drawn)";
#endif
  ui::SetServices(services.get());

  // Sixteen shown messages with full-length texts of every receive type.
  auto data = std::make_unique<CDX470Data>();
  dx470::PARAM& param = data->Param();
  for (int slot = 0; slot < dx470::kSlotCount; ++slot) {
    const auto type = uint8_t(1 + slot % 12);
    dx470::DefineMessage(param, slot, type, type, slot % 2 == 0, "");
    std::memset(param.Lcd.Messages[slot].Text[0], 'A' + slot, 30);
    param.Lcd.Messages[slot].HighlightedFont = uint8_t(slot % 2);
  }

  editor::CMessageListBox list(&param);
  std::vector<gfx::Bitmap> rows(dx470::kSlotCount, gfx::Bitmap(385, editor::CMessageListBox::kRowHeight));
  std::vector<RowTexts> texts(dx470::kSlotCount);
  auto refresh = [&] {
    const auto order = dx470::SlotsInDisplayOrder(param);
    for (int row = 0; row < dx470::kSlotCount; ++row) {
      const int slot = order[size_t(row)];
      const auto& m = param.Lcd.Messages[slot];
      const bool signedValues = (m.TypeSpecific[3] & dx470::kValueFlagSigned) != 0;
      RowTexts& t = texts[size_t(row)];
      t.text.assign(reinterpret_cast<const char*>(m.Text[0]),
                    strnlen(reinterpret_cast<const char*>(m.Text[0]), 30));
      t.receive = editor::DX470MainDialog::ReceiveTypeText(param.MessageKind[slot], signedValues);
      t.send = editor::DX470MainDialog::SendTypeText(param.MessageKind[slot], param.MessageType[slot],
                                                     signedValues);
      list.SetRow(row, true, m.HighlightedFont, t.text, t.receive, t.send);
    }
    for (int row = 0; row < dx470::kSlotCount; ++row) list.DrawItem(row, row == 3, rows[size_t(row)]);
  };
  auto fill = [&] {
    for (int row = 0; row < dx470::kSlotCount; ++row)
      rows[size_t(row)].FillRect({0, 0, 385, editor::CMessageListBox::kRowHeight},
                                 row == 3 ? 0x000080 : 0xFFFFFF);
  };
  ui::FontChoice face{"MS Sans Serif", 8, false};
  auto uncached = [&] {
    for (int row = 0; row < dx470::kSlotCount; ++row) {
      gfx::Bitmap& b = rows[size_t(row)];
      int x = 140;
      for (const std::string* s : {&texts[size_t(row)].receive, &texts[size_t(row)].send}) {
        for (uint32_t code : editor::DecodeUtf8(*s)) {
          if (auto g = ui::Services().RasterizeChar(face, 13, code)) {
            b.Blit(x, 2, g->bitmap);
            x += g->bitmap.width();
          }
        }
      }
    }
  };

  refresh();  // characters of the list font are rasterised once
  const double ours = Measure(500, refresh);
  const double solid = Measure(500, fill);
  const double plain = Measure(20, uncached);
  std::printf("list font rasteriser: %s\n", rasteriser);
  std::printf("full refresh (16 rows, texts and drawing): %.4f ms  (target < 2 ms: %s)\n", ours,
              ours < 2.0 ? "met" : "MISSED");
  std::printf("peer, solid fill of the same bitmaps:       %.4f ms  (refresh = %.1f x fill)\n", solid,
              ours / solid);
  std::printf("peer, column texts through the rasteriser:  %.4f ms  (refresh = %.3f x that)\n", plain,
              plain > 0 ? ours / plain : 0.0);
  ui::SetServices(nullptr);
  return ours < 2.0 ? 0 : 1;
}
