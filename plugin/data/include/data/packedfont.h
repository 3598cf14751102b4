#pragma once
// The packed font form, used in font files and in the device image: the
// 34-byte font header, a character table of 3 bytes per code from first to
// last (width, BE offset of the glyph data from the start of the packed
// font) and the glyph data, ⌈width/8⌉ column bands of `height` bytes each.
#include <cstddef>
#include <cstdint>

#include "data/records.h"

namespace dx470 {

// Largest possible packed font: 256 glyphs of 5 bands × 20 rows.
inline constexpr size_t kMaxPackedFontSize =
    kFontHeaderSize + 3 * kGlyphCount + kGlyphCount * kGlyphBands * kGlyphRows;  // 26402

enum class FontStatus : uint8_t {
  Ok,
  Truncated,         // packed data ends before the table or a glyph is complete
  BadGlyph,          // a glyph record has a width above 40 or a height above 20
  NoSpace,           // the output buffer cannot hold the packed font
  BadVersion,        // font file: version byte is not 2
  LengthTooShort,    // font file: length field below 34
  LengthBeyondData,  // font file: length field larger than the bytes read
  BadChecksum,       // font file: checksum does not match
  OpenFailed,        // font file could not be opened
  ReadFailed,        // font file could not be read
  WriteFailed,       // font file could not be written
};

// English text for the caller's message box (translated by the caller).
const char* FontStatusText(FontStatus status);

struct FontResult {
  FontStatus status = FontStatus::Ok;
  size_t size = 0;  // bytes written (Pack), needed (PackedSize) or consumed (Unpack)
  int glyph = -1;   // glyph index concerned by BadGlyph
  bool ok() const { return status == FontStatus::Ok; }
};

// Size of the packed form of `font`, or BadGlyph.
FontResult PackedSize(const ZEICHENSATZ& font);

// Packs `font` into out[0..capacity). Writes nothing and answers NoSpace
// when the packed font would not fit, BadGlyph for a corrupt glyph record.
FontResult Pack(const ZEICHENSATZ& font, uint8_t* out, size_t capacity);

// Unpacks the packed font in data[0..size) into `font`; answers Truncated
// (and leaves `font` untouched) when the table or glyph data would run past
// `size`. On success `size` of the result is the number of bytes consumed.
FontResult Unpack(const uint8_t* data, size_t size, ZEICHENSATZ& font);

// Whether the packed form of `font` reads back as the same font: a height
// of 1..20, first <= last, and every glyph in that range that has pixels
// as high as the font (the packed glyph data has `height` rows per band,
// taken from the font header).
bool IsSelfConsistent(const ZEICHENSATZ& font);

// Clean-up after Unpack: glyphs in the first..last range get the font height
// and lose every bit outside their width and height; the others become
// empty 4 × 1 glyphs.
void Normalize(ZEICHENSATZ& font);

}  // namespace dx470
