#include "editor/characters.h"

#include <cstdio>

#include "base/strings.h"
#include "pluginwinappbase/pluginwinappbase.h"

namespace editor {

Availability CharacterAvailability(const dx470::ZEICHENSATZ& font, int code) {
  if (code == 0) return {false, Translate("- end of string character, not available")};
  if (code == font.TabChar) return {false, Translate("- tabulator, not available")};
  if (code == font.ReplacementChar) return {false, Translate("- replacement character, not available")};
  if (code < 5) return {false, Translate("- reserved, not available")};
  if (code < font.First || code > font.Last)
    return {false, Translate("- out of defined range, not available")};
  if (code == font.DefaultChar) return {true, Translate("- default character, available")};
  return {true, Translate("- available")};
}

std::string Latin1ToUtf8(std::string_view codes) {
  std::string out;
  for (unsigned char c : codes) {
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string DeviceCharUtf8(int code) {
  return base::Utf16ToUtf8(std::u16string(1, char16_t(DeviceCodeToUnicode(code))));
}

std::string CharacterDescription(int code) {
  char number[8];
  std::snprintf(number, sizeof number, "%3u", unsigned(code & 0xFF));
  // Printable: ASCII from the blank on, and the Latin-1 letters and signs.
  if ((code >= 0x20 && code < 0x7F) || (code >= 0xA0 && code <= 0xFF)) {
    const std::string glyph = Latin1ToUtf8(std::string(1, char(code)));
    return std::string(number) + " ('" + glyph + "' " + Translate("on keyboard") + ")";
  }
  return number;
}

std::string CharacterText(const dx470::ZEICHENSATZ& font, int code) {
  return CharacterDescription(code) + " " + CharacterAvailability(font, code).text;
}

dx470::ZEICHEN* GlyphRecord(dx470::ZEICHENSATZ& font, int code) {
  if (code < font.First || code > font.Last || code - font.First > 255) return nullptr;
  return &font.Glyphs[code - font.First];
}

}  // namespace editor
