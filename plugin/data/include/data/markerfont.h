#pragma once
// The marker font: built-in symbols that show the codes a device interprets
// itself in device texts: glyph 1 the tabulator (an arrow to a bar), glyph 2
// the replacement (value) position (an open frame with three dots), glyph 3
// an empty 1 × 1 glyph for code 3. One per process, rebuilt with the height
// of font 1 whenever a default configuration is made.
#include <cstdint>
#include <memory>

#include "data/records.h"

namespace dx470 {

// Fills `font` with the marker glyphs; `height` goes into the header.
void BuildMarkerFont(ZEICHENSATZ& font, uint8_t height);

// Rebuilds the process's marker font with the given height.
void UpdateMarkerFont(uint8_t height);

// The current marker font (built with height 16 until the first update).
// Holders keep the font they got even when it is rebuilt meanwhile.
std::shared_ptr<const ZEICHENSATZ> MarkerFont();

}  // namespace dx470
