#pragma once
// Platform services for tests: a screen font whose characters are easy to
// recognise in pixels, and nothing else.
#include "ui/services.h"

namespace testui {

// Letters are 4 pixels wide with a bar in their first column on rows 2..10
// of a 13-pixel cell; a blank is 3 pixels wide and empty. A bold face
// (weight 700 and above) is one pixel wider, its bar two columns.
class FakeFontServices : public ui::PlatformServices {
 public:
  int rasterised = 0;
  int lastWeight = 0;
  int RunModal(ui::Dialog&) override { return ui::IDCANCEL; }
  int MessageBox(const ui::MessageBoxSpec&) override { return ui::IDOK; }
  std::optional<std::string> FileDialog(const ui::FileDialogSpec&) override { return {}; }
  std::optional<ui::FontChoice> FontDialog() override { return {}; }
  std::unique_ptr<ui::PrintDevice> PrintDialog() override { return nullptr; }
  void ShowHelp(const std::string&, int) override {}
  void OpenUrl(const std::string&) override {}
  void SetWaitCursor(bool) override {}
  int ScreenWidth() override { return 1280; }
  int ScreenHeight() override { return 1024; }
  std::optional<ui::RasterGlyph> RasterizeChar(const ui::FontChoice& font, int pixelHeight,
                                               uint32_t code) override {
    ++rasterised;
    lastWeight = font.weight;
    const int bold = font.weight >= 700 ? 1 : 0;
    gfx::Bitmap b((code == ' ' ? 3 : 4) + bold, pixelHeight);
    if (code != ' ') b.FillRect({0, 2, 1 + bold, 11}, gfx::kBlack);
    return ui::RasterGlyph{b};
  }
};

}  // namespace testui
