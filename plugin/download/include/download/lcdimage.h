#pragma once
// Conversion between a configuration (PARAM, fonts expanded) and the device
// image buffer: PARAM's 34 leading bytes followed by the LCD image, in which
// both fonts are packed one after the other behind the message records.
#include <array>
#include <cstddef>
#include <cstdint>

#include "base/hresult.h"
#include "data/records.h"

namespace dx470 {

using ImageBuffer = std::array<uint8_t, kImageBufferSize>;

// Longest LCD image: it must fit the device area [kImageBase, kImageEnd)
// and, with the 34 leading bytes, the image buffer.
inline constexpr size_t kMaxImageLength = (kImageEnd - kImageBase) < (kImageBufferSize - kImagePrefixSize)
                                              ? (kImageEnd - kImageBase)
                                              : (kImageBufferSize - kImagePrefixSize);

enum class ImageStatus : uint8_t {
  Ok,
  TooLarge,           // the fonts make the LCD image longer than kMaxImageLength
  BadFont1,           // font 1 holds a glyph wider than 40 or higher than 20 pixels
  BadFont2,           // the same for font 2
  InconsistentFont1,  // font 1's height, range or glyph heights contradict each other
  InconsistentFont2,  // the same for font 2
  BadImage,           // expand: a font offset or font data lies outside the buffer
  OutOfMemory,        // expand: no memory for the work copy
};

struct ImageResult {
  ImageStatus status = ImageStatus::Ok;
  uint16_t length = 0;  // L, the LCD image length (build); for TooLarge the length needed
  bool ok() const { return status == ImageStatus::Ok; }
  // Result code for the caller: S_OK, or the failure's HRESULT.
  HRESULT hr() const;
  // English text for the user (translated by the caller); empty for Ok.
  const char* text() const;
};

// Length the LCD image of `param` would have, checked against the limits
// without building anything.
ImageResult LcdImageLength(const PARAM& param);

// Build: fills buffer[0 .. 34 + L) and stores the font offsets (block bytes
// 6..9) and the font checksum (bytes 16..17) into `param`. A configuration
// whose image would not fit is refused before `param` or the buffer change.
ImageResult BuildLcdImage(PARAM& param, ImageBuffer& buffer);

// Expand: rebuilds `param` from the device image buffer[0 .. size). The
// fonts are found through the offsets in the block information; an offset
// or font data outside the buffer is refused and `param` stays unchanged.
ImageResult BuildLcdImage(const uint8_t* buffer, size_t size, PARAM& param);

}  // namespace dx470
