#include "editor/screen_font.h"

namespace editor {

std::vector<uint32_t> DecodeUtf8(std::string_view text, std::vector<size_t>* ends) {
  std::vector<uint32_t> out;
  size_t i = 0;
  while (i < text.size()) {
    const auto b = uint8_t(text[i]);
    int extra = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
    if (b >= 0xF8) extra = 0;
    uint32_t code = extra == 0 ? b : extra == 1 ? (b & 0x1Fu) : extra == 2 ? (b & 0x0Fu) : (b & 0x07u);
    bool ok = i + size_t(extra) < text.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const auto c = uint8_t(text[i + size_t(k)]);
      if ((c & 0xC0) != 0x80)
        ok = false;
      else
        code = (code << 6) | (c & 0x3Fu);
    }
    const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || code < least[extra] || code > 0x10FFFF) {
      code = b;
      extra = 0;
    }
    i += size_t(extra) + 1;
    out.push_back(code);
    if (ends) ends->push_back(i);
  }
  return out;
}

ScreenFont::ScreenFont(std::string face, int pixelHeight, int weight)
    : choice_{std::move(face), 8, false, weight}, pixelHeight_(pixelHeight) {}

void ScreenFont::UseServices(ui::PlatformServices* services) {
  if (services == services_) return;
  services_ = services;
  cache_.clear();
}

const ScreenFont::Char& ScreenFont::Get(uint32_t code) {
  if (auto it = cache_.find(code); it != cache_.end()) return it->second;
  Char ch;
  ui::PlatformServices& services = services_ ? *services_ : ui::Services();
  if (auto glyph = services.RasterizeChar(choice_, pixelHeight_, code)) {
    const gfx::Bitmap& bitmap = glyph->bitmap;
    ch.width = bitmap.width();
    for (int y = 0; y < bitmap.height() && y < 0x10000; ++y) {
      for (int x = 0; x < bitmap.width() && x < 0xFFFF; ++x) {
        const gfx::Color c = bitmap.Get(x, y);
        if (gfx::RedOf(c) + gfx::GreenOf(c) + gfx::BlueOf(c) >= 3 * 128) continue;  // background
        ch.pixels.push_back(uint32_t(y) << 16 | uint32_t(x));
      }
    }
  }
  return cache_.emplace(code, std::move(ch)).first->second;
}

int ScreenFont::TextWidth(std::string_view text) {
  int width = 0;
  for (uint32_t code : DecodeUtf8(text)) width += Get(code).width;
  return width;
}

size_t ScreenFont::FitLength(std::string_view text, int maxWidth) {
  std::vector<size_t> ends;
  std::vector<uint32_t> codes = DecodeUtf8(text, &ends);
  int width = 0;
  size_t fit = 0;
  for (size_t i = 0; i < codes.size(); ++i) {
    width += Get(codes[i]).width;
    if (width > maxWidth) break;
    fit = ends[i];
  }
  return fit;
}

void ScreenFont::Draw(gfx::Bitmap& target, int x, int y, std::string_view text, gfx::Color color) {
  for (uint32_t code : DecodeUtf8(text)) {
    const Char& ch = Get(code);
    for (uint32_t p : ch.pixels) target.Set(x + int(p & 0xFFFF), y + int(p >> 16), color);
    x += ch.width;
  }
}

}  // namespace editor
