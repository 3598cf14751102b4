#pragma once
// What the editor says about one character code of a device font: whether
// it may be used in texts (CharacterAvailability) and how it is described
// in the character grid and the dialogs' titles.
#include <cstdint>
#include <string>
#include <string_view>

#include "data/charset.h"
#include "data/records.h"

namespace editor {

struct Availability {
  bool available = false;
  std::string text;  // translated, e.g. "- available"
};

Availability CharacterAvailability(const dx470::ZEICHENSATZ& font, int code);

// Device codes read as Latin-1, in UTF-8: the form UI scripts compare
// (their \xNN is code NN).
std::string Latin1ToUtf8(std::string_view codes);
// The character a device font shows for a code (data/charset.h).
using dx470::DeviceCodeToUnicode;
// That character in UTF-8.
std::string DeviceCharUtf8(int code);

// "%3u ('c' on keyboard)" for printable codes, else "%3u"; translated.
std::string CharacterDescription(int code);
// The description, a blank and the availability text.
std::string CharacterText(const dx470::ZEICHENSATZ& font, int code);

// The glyph record of `code`, or null outside first..last.
dx470::ZEICHEN* GlyphRecord(dx470::ZEICHENSATZ& font, int code);

}  // namespace editor
