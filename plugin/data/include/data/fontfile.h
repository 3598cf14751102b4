#pragma once
// Font files (extension "LFT"): version byte 2, the packed length L (u16),
// the Fletcher-16 of the packed bytes (u16), then the packed font.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/packedfont.h"
#include "data/records.h"

namespace dx470 {

inline constexpr uint8_t kFontFileVersion = 2;
inline constexpr size_t kFontFileHeaderSize = 5;
inline constexpr const char* kFontFileExtension = "LFT";
// Reading is bounded by the largest file a font can produce; this also
// accepts every file of up to 26151 bytes.
inline constexpr size_t kFontFileReadLimit = kFontFileHeaderSize + kMaxPackedFontSize;

// The complete file bytes of `font`.
FontResult BuildFontFile(const ZEICHENSATZ& font, std::vector<uint8_t>& bytes);

// Checks the file bytes (version, length, checksum), unpacks and normalises
// the font. `font` is changed only on success.
FontResult ParseFontFile(const uint8_t* bytes, size_t size, ZEICHENSATZ& font);

// Reads at most kFontFileReadLimit bytes of `path` and parses them; an
// entry that is not a regular file (a FIFO, a device) is OpenFailed.
FontResult ReadFontFile(const std::string& path, ZEICHENSATZ& font);

// Writes the file through a temporary file in the same folder that replaces
// `path` only when complete, so a failed export never damages an old file.
FontResult WriteFontFile(const std::string& path, const ZEICHENSATZ& font);

}  // namespace dx470
