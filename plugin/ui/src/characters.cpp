#include "editor/characters.h"

#include <cstdio>

#include "pluginwinappbase/pluginwinappbase.h"

namespace editor {

Availability CharacterAvailability(const dx470::ZEICHENSATZ& font, int code) {
  if (code == 0) return {false, Translate("- end of string character, not available")};
  if (code == font.TabChar) return {false, Translate("- tabulator, not available")};
  if (code == font.ReplacementChar) return {false, Translate("- replacement character, not available")};
  if (code < 5) return {false, Translate("- reserved, not available")};
  if (code < font.First || code > font.Last) return {false, Translate("- out of defined range, not available")};
  if (code == font.DefaultChar) return {true, Translate("- default character, available")};
  return {true, Translate("- available")};
}

std::string CharacterDescription(int code) {
  char number[8];
  std::snprintf(number, sizeof number, "%3u", unsigned(code & 0xFF));
  // Printable: ASCII from the blank on, and the Latin-1 letters and signs.
  if ((code >= 0x20 && code < 0x7F) || (code >= 0xA0 && code <= 0xFF)) {
    std::string glyph;
    if (code < 0x80) {
      glyph = char(code);
    } else {
      glyph += char(0xC0 | (code >> 6));
      glyph += char(0x80 | (code & 0x3F));
    }
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
