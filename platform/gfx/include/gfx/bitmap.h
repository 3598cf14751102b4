#pragma once
// A 32-bit raster of 0x00RRGGBB pixels, row by row from the top left.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gfx {

using Color = uint32_t;

constexpr Color Rgb(uint8_t r, uint8_t g, uint8_t b) { return Color(r) << 16 | Color(g) << 8 | Color(b); }
constexpr uint8_t RedOf(Color c) { return uint8_t(c >> 16); }
constexpr uint8_t GreenOf(Color c) { return uint8_t(c >> 8); }
constexpr uint8_t BlueOf(Color c) { return uint8_t(c); }

constexpr Color kBlack = Rgb(0, 0, 0);
constexpr Color kWhite = Rgb(255, 255, 255);
constexpr Color kLightGrey = Rgb(192, 192, 192);

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
};

// The rectangle at (x, y) of the given size.
constexpr Rect RectAt(int x, int y, int width, int height) { return {x, y, x + width, y + height}; }

class Bitmap {
 public:
  Bitmap() = default;
  // A bitmap of the given size filled with `fill`; negative sizes give an
  // empty bitmap.
  Bitmap(int width, int height, Color fill = kWhite);

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ == 0 || height_ == 0; }

  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // Pixels outside the bitmap read as 0 and are not written.
  Color Get(int x, int y) const { return Contains(x, y) ? pixels_[Index(x, y)] : 0; }
  void Set(int x, int y, Color c) {
    if (Contains(x, y)) pixels_[Index(x, y)] = c & 0xFFFFFF;
  }

  // Fills the part of `r` that lies inside the bitmap.
  void FillRect(const Rect& r, Color c);
  // Copies the part of `src` given by `from` to (x, y); both rectangles are
  // clipped to their bitmaps.
  void Blit(int x, int y, const Bitmap& src, const Rect& from);
  void Blit(int x, int y, const Bitmap& src) { Blit(x, y, src, {0, 0, src.width(), src.height()}); }

  const Color* Row(int y) const { return pixels_.data() + Index(0, y); }

 private:
  size_t Index(int x, int y) const { return size_t(y) * size_t(width_) + size_t(x); }
  int width_ = 0;
  int height_ = 0;
  std::vector<Color> pixels_;
};

}  // namespace gfx
