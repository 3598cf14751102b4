// Entity encoding and decoding of text values and comments.
#include <cstring>

#include "xmlweave/codecs.h"

namespace xmlweave {
namespace {

// 0: byte stands as it is; 1: needs an entity.
struct EncodeTable {
  bool escape[256];
  constexpr EncodeTable() : escape() {
    for (int c = 0; c < 256; ++c) {
      bool plain = (c >= 0x20 && c <= 0x7E) || c == '\t' || c == '\n' || c == '\r';
      escape[c] = !plain || c == '"' || c == '&' || c == '\'' || c == '<' || c == '>';
    }
  }
};
constexpr EncodeTable kEncode;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// "x…": hexadecimal digits taken in pairs, each pair one byte. An odd count
// lets the first digit stand alone, so "&#x7;" (as the writer encodes 0x07)
// gives the byte 0x07 back. Nothing is appended unless every digit is one.
bool DecodeHexReference(std::string_view digits, std::string& out) {
  for (char c : digits)
    if (HexValue(c) < 0) return false;
  size_t i = 0;
  if (digits.size() % 2 == 1) {
    out += char(HexValue(digits[0]));
    i = 1;
  }
  for (; i < digits.size(); i += 2) out += char(HexValue(digits[i]) << 4 | HexValue(digits[i + 1]));
  return true;
}

// "65": the character with that decimal code; codes up to 255 are the byte
// itself (as the hexadecimal form), larger ones the UTF-8 form. Only decimal
// digits, at least one, and a code that is a character.
bool DecodeDecimalReference(std::string_view digits, std::string& out) {
  if (digits.empty() || digits.size() > 7) return false;
  uint32_t cp = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    cp = cp * 10 + uint32_t(c - '0');
  }
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  if (cp < 0x100)
    out += char(cp);
  else
    AppendUtf8(out, cp);
  return true;
}

// The name behind "&#": "x" and hexadecimal digits, or decimal digits.
bool DecodeCharacterReference(std::string_view name, std::string& out) {
  if (!name.empty() && name[0] == 'x') return DecodeHexReference(name.substr(1), out);
  return DecodeDecimalReference(name, out);
}

}  // namespace

void AppendXmlText(std::string& out, std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* run = p;
    while (p < end && !kEncode.escape[static_cast<unsigned char>(*p)]) ++p;
    out.append(run, size_t(p - run));
    if (p == end) break;
    switch (*p) {
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      case '\'': out += "&apos;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: {
        static const char kHex[] = "0123456789ABCDEF";
        unsigned char c = static_cast<unsigned char>(*p);
        out += "&#x";
        if (c >= 0x10) out += kHex[c >> 4];
        out += kHex[c & 0xF];
        out += ';';
      }
    }
    ++p;
  }
}

bool NeedsXmlEncoding(std::string_view text) {
  for (char c : text)
    if (kEncode.escape[static_cast<unsigned char>(c)]) return true;
  return false;
}

std::string StringToXmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendXmlText(out, text);
  return out;
}

HRESULT XmlTextToString(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t amp = text.find('&', pos);
    if (amp == std::string_view::npos) break;
    out.append(text.data() + pos, amp - pos);
    size_t semi = text.find(';', amp + 1);
    if (semi == std::string_view::npos) return E_FAIL;
    std::string_view name = text.substr(amp + 1, semi - amp - 1);
    if (name.empty()) {
      // "&;" stands for nothing.
    } else if (name == "quot") {
      out += '"';
    } else if (name == "apos") {
      out += '\'';
    } else if (name == "amp") {
      out += '&';
    } else if (name == "lt") {
      out += '<';
    } else if (name == "gt") {
      out += '>';
    } else if (name[0] == '#' && DecodeCharacterReference(name.substr(1), out)) {
      // a character reference
    } else {
      // Unknown names, and character references that are not well formed
      // ("&#X41;", "&#6a;", "&#;", "&#-5;"), lose their '&' and ';'.
      out.append(name);
    }
    pos = semi + 1;
  }
  if (pos < text.size()) out.append(text.data() + pos, text.size() - pos);
  return S_OK;
}

}  // namespace xmlweave
