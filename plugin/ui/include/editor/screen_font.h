#pragma once
// A screen font for the editor's lists: characters come from the platform
// services' rasteriser in the font's own weight (so this code needs no
// toolkit) and are kept once drawn.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "gfx/bitmap.h"
#include "ui/services.h"

namespace editor {

class ScreenFont {
 public:
  // `pixelHeight`: the character cell's height; `weight`: 400 regular, 700 bold.
  ScreenFont(std::string face, int pixelHeight, int weight);

  // Pixel width of a UTF-8 text.
  int TextWidth(std::string_view text);
  // Bytes of the longest leading part of `text` (whole characters) that is
  // at most `maxWidth` pixels wide.
  size_t FitLength(std::string_view text, int maxWidth);
  // Draws `text` transparently with its cell's top left corner at (x, y).
  void Draw(gfx::Bitmap& target, int x, int y, std::string_view text, gfx::Color color);

  // The services whose rasteriser draws the characters (the process's
  // when none is set). Changing them forgets the characters drawn so far.
  void UseServices(ui::PlatformServices* services);

 private:
  struct Char {
    int width = 0;
    std::vector<uint32_t> pixels;  // (y << 16) | x of every set pixel
  };
  const Char& Get(uint32_t code);

  ui::FontChoice choice_;
  int pixelHeight_;
  ui::PlatformServices* services_ = nullptr;
  std::unordered_map<uint32_t, Char> cache_;
};

// Code points of a UTF-8 text; a byte that starts no valid sequence stands
// for itself.
std::vector<uint32_t> DecodeUtf8(std::string_view text, std::vector<size_t>* ends = nullptr);

}  // namespace editor
