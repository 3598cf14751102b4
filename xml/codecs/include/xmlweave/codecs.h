#pragma once
// The value codecs of the typed XML dialect, shared by reader and writer:
// entity encoding of text, base64 for byte arrays, comma lists for arrays of
// 32-bit integers, and the number conversions. Free functions without state.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/hresult.h"

namespace xmlweave {

// Classification of a tag; the codes also select the writer's element form.
enum TagType : int32_t {
  TAG_NONE = 0,
  TAG_BEGIN = 1,
  TAG_END = 2,
  TAG_BOOL = 3,
  TAG_LONG = 4,
  TAG_FLOAT = 5,
  TAG_STRING = 6,
  TAG_BYTEARRAY = 7,
  TAG_COMMENT = 8,
  TAG_VERSION = 9,
  TAG_EMPTY = 10,
  TAG_LONGARRAY = 11,
};

// The quoted type name of a typed element ("\"i4\"" …), or empty.
constexpr std::string_view QuotedTypeName(TagType type) {
  switch (type) {
    case TAG_BOOL: return "\"b\"";
    case TAG_LONG: return "\"i4\"";
    case TAG_FLOAT: return "\"r4\"";
    case TAG_STRING: return "\"s\"";
    case TAG_BYTEARRAY: return "\"64Bin\"";
    case TAG_LONGARRAY: return "\"la\"";
    default: return {};
  }
}

// Entity encoding: markup characters become named entities, control bytes
// other than TAB/LF/CR and bytes from 0x7F become "&#xHH;". Never fails.
std::string StringToXmlText(std::string_view text);
// Whether StringToXmlText would change the text.
bool NeedsXmlEncoding(std::string_view text);
void AppendXmlText(std::string& out, std::string_view text);

// Entity decoding: the five named entities, "&#x" with hexadecimal digits
// (pairs of digits are bytes), "&#" with decimal digits (the character with
// that code); any other name between '&' and ';', an ill-formed character
// reference included, is copied without its '&' and ';'. E_FAIL when an '&'
// has no ';' behind it; `out` is then unspecified and the caller keeps the
// undecoded text.
HRESULT XmlTextToString(std::string_view text, std::string& out);

// Base64 (RFC 4648 alphabet, '=' padding, one piece). E_INVALIDARG for a
// count of 0.
HRESULT PrepareByteForString(size_t count, const uint8_t* bytes, std::string& out);
// Decodes up to the first '='. E_INVALIDARG for empty text, for a character
// outside the alphabet (whitespace included) and for a result whose count
// would not fit 32 bits.
HRESULT Base64StringToByte(std::string_view text, std::vector<uint8_t>& out);

// Long arrays: "1,-2,30". E_INVALIDARG for a count of 0.
HRESULT PrepareLongAForString(size_t count, const int32_t* values, std::string& out);
// Splits at ','; a trailing empty piece adds nothing, other empty pieces give
// 0. E_INVALIDARG for empty text, E_OUTOFMEMORY for a count beyond 32 bits.
HRESULT StringToLongA(std::string_view text, std::vector<int32_t>& out);

// Signed decimal: leading white space and a sign, digits up to the first
// other character, no digits gives 0; values beyond 32 bits saturate.
int32_t ParseLong(std::string_view text);
// Decimal floating point (sign, digits, fraction, exponent) up to the first
// character that does not fit, narrowed to float; "inf", "infinity" and
// "nan" (any case, with a sign) are the values that are not finite; nothing
// parsable gives 0. The same in every locale.
float ParseFloat(std::string_view text);
// Only the exact text "1" is true.
inline int32_t ParseBool(std::string_view text) { return text == "1" ? 1 : 0; }

// Number texts of the writer: decimal, and the general format with 7
// significant digits ("inf", "-inf", "nan", "-nan" for values that are not
// finite).
void AppendLong(std::string& out, int32_t value);
void AppendFloat(std::string& out, float value);

}  // namespace xmlweave
