#include "printable.h"

#include <cstdint>

namespace cli {
namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
  static const char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at text[i] and its code point,
// or 0 when the bytes there are not one.
size_t SequenceAt(std::string_view text, size_t i, uint32_t& code) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  size_t length = 0;
  uint32_t least = 0;  // the smallest code point of that length: below it is overlong
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    least = 0x80;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    least = 0x800;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    least = 0x10000;
    code = lead & 0x07;
  } else {
    return 0;  // a continuation byte, 0xC0 or 0xC1 (always overlong) or 0xF5..0xFF
  }
  if (text.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    const unsigned char c = static_cast<unsigned char>(text[i + k]);
    if (!IsContinuation(c)) return 0;
    code = code << 6 | (c & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

bool IsControl(uint32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const size_t length = SequenceAt(text, i, code);
    if (length == 0 || IsControl(code)) {
      // A bad sequence is escaped one byte at a time: what follows its first
      // byte may start a good one.
      const size_t n = length == 0 ? 1 : length;
      for (size_t k = 0; k < n; ++k) AppendEscaped(out, static_cast<unsigned char>(text[i + k]));
      i += n;
      continue;
    }
    out.append(text.substr(i, length));
    i += length;
  }
  return out;
}

}  // namespace cli
