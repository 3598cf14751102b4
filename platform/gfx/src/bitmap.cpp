#include "gfx/bitmap.h"

#include <algorithm>

namespace gfx {

Bitmap::Bitmap(int width, int height, Color fill) {
  if (width <= 0 || height <= 0) return;
  width_ = width;
  height_ = height;
  pixels_.assign(size_t(width) * size_t(height), fill & 0xFFFFFF);
}

void Bitmap::FillRect(const Rect& r, Color c) {
  const int left = std::max(r.left, 0), right = std::min(r.right, width_);
  const int top = std::max(r.top, 0), bottom = std::min(r.bottom, height_);
  for (int y = top; y < bottom; ++y)
    std::fill(pixels_.begin() + Index(left, y), pixels_.begin() + Index(left, y) + std::max(right - left, 0),
              c & 0xFFFFFF);
}

void Bitmap::Blit(int x, int y, const Bitmap& src, const Rect& from) {
  // Clip the source rectangle to the source, then the target to this bitmap.
  int sl = std::max(from.left, 0), st = std::max(from.top, 0);
  int sr = std::min(from.right, src.width_), sb = std::min(from.bottom, src.height_);
  x += sl - from.left;
  y += st - from.top;
  if (x < 0) {
    sl -= x;
    x = 0;
  }
  if (y < 0) {
    st -= y;
    y = 0;
  }
  sr = std::min(sr, sl + (width_ - x));
  sb = std::min(sb, st + (height_ - y));
  if (sr <= sl || sb <= st) return;
  if (&src == this) {  // overlapping copy within one bitmap
    Bitmap copy = src;
    Blit(x, y, copy, {sl, st, sr, sb});
    return;
  }
  for (int row = st; row < sb; ++row)
    std::copy(src.pixels_.begin() + src.Index(sl, row), src.pixels_.begin() + src.Index(sr - 1, row) + 1,
              pixels_.begin() + Index(x, y + row - st));
}

}  // namespace gfx
