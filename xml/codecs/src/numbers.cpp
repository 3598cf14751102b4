// Number texts: decimal integers, floats and comma lists of integers.
#include <locale.h>

#include <charconv>
#include <cstdlib>
#include <limits>

#include "xmlweave/codecs.h"

namespace xmlweave {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int32_t ParseLong(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t v = 0;
  constexpr int64_t kLimit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > kLimit) v = kLimit;  // saturate, as a 32-bit strtol does
  }
  if (negative) return int32_t(-v);
  return v >= kLimit ? std::numeric_limits<int32_t>::max() : int32_t(v);
}

float ParseFloat(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Decimal numbers, and "inf", "infinity" and "nan" in any case, which is
  // what the writer writes for values that are not finite. No hexadecimal
  // forms: "0x10" reads as 0.
  if (i >= text.size()) return 0.0f;
  const char c = text[i];
  if (!((c >= '0' && c <= '9') || c == '.' || c == 'i' || c == 'I' || c == 'n' || c == 'N')) return 0.0f;
  double v = 0.0;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Beyond the range of a double: strtod gives infinity or zero. It runs
    // in the C locale, so that a client's locale with a decimal comma does
    // not cut "2.5e400" at its point.
    static const locale_t kC = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    std::string piece(first, ptr);
    v = kC ? ::strtod_l(piece.c_str(), nullptr, kC) : 0.0;  // no C locale: out of memory
  } else if (ec != std::errc()) {
    v = 0.0;
  }
  float f = static_cast<float>(v);
  return negative ? -f : f;
}

void AppendLong(std::string& out, int32_t value) {
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, size_t(r.ptr - buf));
}

// Values that are not finite come out as "inf", "-inf", "nan" and "-nan",
// which ParseFloat reads back.
void AppendFloat(std::string& out, float value) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value), std::chars_format::general, 7);
  out.append(buf, size_t(r.ptr - buf));
}

HRESULT PrepareLongAForString(size_t count, const int32_t* values, std::string& out) {
  out.clear();
  if (count == 0 || !values) return E_INVALIDARG;
  out.reserve(count * 4);
  for (size_t i = 0; i < count; ++i) {
    if (i) out += ',';
    AppendLong(out, values[i]);
  }
  if (out.size() > size_t(UINT32_MAX)) {
    out.clear();
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT StringToLongA(std::string_view text, std::vector<int32_t>& out) {
  out.clear();
  if (text.empty()) return E_INVALIDARG;
  size_t pos = 0;
  for (;;) {
    size_t comma = text.find(',', pos);
    if (comma == std::string_view::npos) {
      if (pos < text.size()) out.push_back(ParseLong(text.substr(pos)));
      break;
    }
    out.push_back(ParseLong(text.substr(pos, comma - pos)));
    pos = comma + 1;
  }
  if (out.size() > size_t(UINT32_MAX)) {
    out.clear();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace xmlweave
