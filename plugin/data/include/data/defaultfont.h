#pragma once
// The built-in default font in its packed form: height 16, characters
// 32..255 in the Windows-1252 character set, widest glyph 14 pixels.
#include <cstddef>
#include <cstdint>
#include <span>

namespace dx470 {

std::span<const uint8_t> DefaultFontPacked();

}  // namespace dx470
