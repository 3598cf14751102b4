#include "data/packedfont.h"

#include <algorithm>
#include <cstring>

#include "base/byteorder.h"

namespace dx470 {
namespace {

size_t Bands(unsigned width) { return (width + 7) / 8; }

// Mask keeping the leftmost `bits` pixels of a column byte (1..8).
uint8_t LeftMask(unsigned bits) { return static_cast<uint8_t>(0xFF00u >> bits); }

// Data bytes of one glyph in the packed form, or BadGlyph.
bool GlyphDataSize(const ZEICHEN& g, size_t& size) {
  if (g.Width > kGlyphMaxWidth || g.Height > kGlyphMaxHeight) return false;
  size = Bands(g.Width) * g.Height;
  return true;
}

}  // namespace

const char* FontStatusText(FontStatus status) {
  switch (status) {
    case FontStatus::Ok: return "No error.";
    case FontStatus::Truncated: return "The font data is incomplete.";
    case FontStatus::BadGlyph: return "The font contains a character with an invalid width or height.";
    case FontStatus::NoSpace: return "The font is too large for the space available.";
    case FontStatus::BadVersion: return "The font file has an unknown format version.";
    case FontStatus::LengthTooShort: return "The font file is too short to hold a font.";
    case FontStatus::LengthBeyondData: return "The font file is shorter than its length field says.";
    case FontStatus::BadChecksum: return "The checksum of the font file does not match its data.";
    case FontStatus::OpenFailed: return "Failed to open file";
    case FontStatus::ReadFailed: return "Failed to read file";
    case FontStatus::WriteFailed: return "Failed to save file";
  }
  return "Unknown error.";
}

FontResult PackedSize(const ZEICHENSATZ& font) {
  FontResult r;
  r.size = kFontHeaderSize;
  for (int c = font.First; c <= font.Last; ++c) {
    const int k = c - font.First;
    size_t n = 0;
    if (!GlyphDataSize(font.Glyphs[k], n)) return {FontStatus::BadGlyph, 0, k};
    r.size += 3 + n;
  }
  return r;
}

FontResult Pack(const ZEICHENSATZ& font, uint8_t* out, size_t capacity) {
  FontResult r = PackedSize(font);
  if (!r.ok()) return r;
  if (r.size > capacity) return {FontStatus::NoSpace, r.size, -1};

  std::memcpy(out, &font, kFontHeaderSize);
  uint8_t maxWidth = 0;
  const int count = font.Last >= font.First ? font.Last - font.First + 1 : 0;
  size_t data = kFontHeaderSize + 3 * static_cast<size_t>(count);
  for (int k = 0; k < count; ++k) {
    const ZEICHEN& g = font.Glyphs[k];
    uint8_t* entry = out + kFontHeaderSize + 3 * k;
    entry[0] = g.Width;
    base::WriteBE16(entry + 1, static_cast<uint16_t>(data));
    maxWidth = std::max(maxWidth, g.Width);
    const size_t bands = Bands(g.Width);
    for (size_t b = 0; b < bands; ++b) {
      const unsigned rest = g.Width - 8 * b;
      const uint8_t mask = rest >= 8 ? 0xFF : LeftMask(rest);
      for (unsigned row = 0; row < g.Height; ++row) out[data++] = g.Bitmap[20 * b + row] & mask;
    }
  }
  out[offsetof(ZEICHENSATZ, MaxWidth)] = maxWidth;
  return r;
}

FontResult Unpack(const uint8_t* data, size_t size, ZEICHENSATZ& font) {
  if (size < kFontHeaderSize) return {FontStatus::Truncated, 0, -1};
  const uint8_t first = data[offsetof(ZEICHENSATZ, First)];
  const uint8_t last = std::max(first, data[offsetof(ZEICHENSATZ, Last)]);
  const unsigned storedHeight = data[offsetof(ZEICHENSATZ, Height)];
  const int count = last - first + 1;
  const size_t table = kFontHeaderSize;
  const size_t dataStart = table + 3 * static_cast<size_t>(count);
  if (dataStart > size) return {FontStatus::Truncated, 0, -1};

  // The glyph data is read in sequence; check that all of it is present
  // before anything in `font` changes.
  size_t end = dataStart;
  for (int k = 0; k < count; ++k) end += Bands(data[table + 3 * k]) * storedHeight;
  if (end > size) return {FontStatus::Truncated, 0, -1};

  const uint8_t height = static_cast<uint8_t>(std::min<unsigned>(storedHeight, kGlyphMaxHeight));
  std::memcpy(&font, data, kFontHeaderSize);
  for (ZEICHEN& g : font.Glyphs) {
    g.Width = 4;
    g.Height = height;
  }
  size_t pos = dataStart;
  for (int k = 0; k < count; ++k) {
    ZEICHEN& g = font.Glyphs[k];
    const unsigned w = data[table + 3 * k];
    g.Width = static_cast<uint8_t>(std::min<unsigned>(w, kGlyphMaxWidth));
    g.Height = height;
    const size_t bands = Bands(w);
    for (size_t b = 0; b < bands; ++b)
      for (unsigned row = 0; row < storedHeight; ++row, ++pos)
        if (b < kGlyphBands && row < kGlyphRows) g.Bitmap[20 * b + row] = data[pos];
  }
  font.First = first;
  font.Height = height;
  font.Last = last;
  return {FontStatus::Ok, pos, -1};
}

bool IsSelfConsistent(const ZEICHENSATZ& font) {
  if (font.Height < 1 || font.Height > kGlyphMaxHeight || font.First > font.Last) return false;
  for (int k = 0; k <= font.Last - font.First; ++k)
    if (font.Glyphs[k].Width > 0 && font.Glyphs[k].Height != font.Height) return false;
  return true;
}

void Normalize(ZEICHENSATZ& font) {
  const int used = font.Last - font.First;  // glyphs 0..used are in range
  for (int k = 0; k < static_cast<int>(kGlyphCount); ++k) {
    ZEICHEN& g = font.Glyphs[k];
    if (k > used) {
      g.Width = 4;
      g.Height = 1;
      std::memset(g.Bitmap, 0, sizeof g.Bitmap);
      continue;
    }
    // Heights above 20 cannot be stored in a glyph record.
    g.Height = static_cast<uint8_t>(std::min<unsigned>(font.Height, kGlyphMaxHeight));
    const unsigned width = std::min<unsigned>(g.Width, kGlyphMaxWidth);
    for (unsigned b = 0; b < kGlyphBands; ++b) {
      const unsigned rest = width > 8 * b ? width - 8 * b : 0;
      const uint8_t mask = rest >= 8 ? 0xFF : rest == 0 ? 0 : LeftMask(rest);
      for (unsigned row = 0; row < kGlyphRows; ++row) g.Bitmap[20 * b + row] &= row < g.Height ? mask : 0;
    }
  }
}

}  // namespace dx470
