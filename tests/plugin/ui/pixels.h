#pragma once
// Bitmaps as text for pixel comparisons: one character per pixel.
#include <map>
#include <string>

#include "gfx/bitmap.h"

namespace pixels {

// '.' white, '#' black, 'g' light grey, 'N' navy, '?' anything else, unless
// `names` says otherwise; one line per row.
inline std::string Picture(const gfx::Bitmap& b, const std::map<gfx::Color, char>& names = {}) {
  std::string s;
  for (int y = 0; y < b.height(); ++y) {
    for (int x = 0; x < b.width(); ++x) {
      gfx::Color c = b.Get(x, y);
      if (auto it = names.find(c); it != names.end())
        s += it->second;
      else if (c == gfx::kWhite)
        s += '.';
      else if (c == gfx::kBlack)
        s += '#';
      else if (c == gfx::kLightGrey)
        s += 'g';
      else if (c == gfx::Rgb(0, 0, 128))
        s += 'N';
      else
        s += '?';
    }
    s += '\n';
  }
  return s;
}

// The part of a bitmap given by a rectangle.
inline gfx::Bitmap Crop(const gfx::Bitmap& b, const gfx::Rect& r) {
  gfx::Bitmap out(r.width(), r.height());
  out.Blit(0, 0, b, r);
  return out;
}

}  // namespace pixels
