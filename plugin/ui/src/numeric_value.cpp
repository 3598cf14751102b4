// Numeric entries: parsing, range check, text check, encoding and display.
#include "editor/numeric_value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/byteorder.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/ddx.h"
#include "ui/dialog.h"
#include "ui/services.h"

namespace editor {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

bool OnlyBlanks(std::string_view text) { return SkipBlanks(text).empty(); }

// Reads the decimal digits at the front of `text` (consuming them), the
// value saturated at `limit`; nothing when there is no digit.
std::optional<uint64_t> ReadDigits(std::string_view& text, uint64_t limit) {
  size_t n = 0;
  uint64_t value = 0;
  for (; n < text.size() && IsDigit(text[n]); ++n)
    value = std::min<uint64_t>(value * 10 + uint64_t(text[n] - '0'), limit);
  if (n == 0) return std::nullopt;
  text.remove_prefix(n);
  return value;
}

// Whether a decimal number that does not fit a float is too small (rather
// than too large): a negative exponent, or no nonzero digit before the point.
bool Underflows(std::string_view number) {
  size_t e = number.find_first_of("eE");
  if (e != std::string_view::npos) return e + 1 < number.size() && number[e + 1] == '-';
  return number.substr(0, number.find('.')).find_first_not_of('0') == std::string_view::npos;
}

// printf's "%.*f" in the "C" locale.
std::string Fixed(double value, int precision) {
  std::array<char, 128> buf;
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed, precision);
  return r.ec == std::errc() ? std::string(buf.data(), r.ptr) : std::string();
}

// printf's "%8.2f".
std::string Bound(float value) {
  std::string s = Fixed(value, 2);
  return s.size() < 8 ? std::string(8 - s.size(), ' ') + s : s;
}

// Truncation toward zero, saturated to the target's range (NaN gives 0).
int32_t TruncateSigned(float f) {
  if (std::isnan(f)) return 0;
  if (f <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  if (f >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  return int32_t(f);
}

uint32_t TruncateUnsigned(float f) {
  if (!(f > 0)) return 0;
  if (f >= 4294967296.0f) return std::numeric_limits<uint32_t>::max();
  return uint32_t(f);
}

template <typename T>
bool Assign(std::optional<T> parsed, T& target) {
  if (parsed) target = *parsed;
  return parsed.has_value();
}

}  // namespace

NumericKind KindOf(uint8_t valueType, bool isSigned) {
  if (IntegerRangeOf(valueType, isSigned)) return isSigned ? NumericKind::Signed : NumericKind::Unsigned;
  return FloatRangeOf(valueType) ? NumericKind::Float : NumericKind::None;
}

std::optional<IntegerRange> IntegerRangeOf(uint8_t valueType, bool isSigned) {
  switch (valueType) {
    case 3:
    case 8: return isSigned ? IntegerRange{-128, 127} : IntegerRange{0, 255};
    case 9: return isSigned ? IntegerRange{-32768, 32767} : IntegerRange{0, 65535};
    case 10: return isSigned ? IntegerRange{-16500000, 16500000} : IntegerRange{0, 16500000};
    default: return std::nullopt;
  }
}

std::optional<FloatRange> FloatRangeOf(uint8_t valueType) {
  switch (valueType) {
    case 6: return FloatRange{-671088.64f, 670760.96f};
    case 7: return FloatRange{-16500000.0f, 16500000.0f};
    default: return std::nullopt;
  }
}

std::optional<uint32_t> ParseUnsigned(std::string_view text) {
  text = SkipBlanks(text);
  // Digits only: a zero result always starts with the digit 0.
  auto digits = ReadDigits(text, std::numeric_limits<uint32_t>::max());
  if (!digits || !OnlyBlanks(text)) return std::nullopt;
  return uint32_t(*digits);
}

std::optional<int32_t> ParseSigned(std::string_view text) {
  text = SkipBlanks(text);
  bool zeroFirst = !text.empty() && text.front() == '0';
  bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  auto digits = ReadDigits(text, negative ? 2147483648u : 2147483647u);
  if (!digits || !OnlyBlanks(text) || (*digits == 0 && !zeroFirst)) return std::nullopt;
  return int32_t(negative ? -int64_t(*digits) : int64_t(*digits));
}

std::optional<float> ParseFloat(std::string_view text) {
  text = SkipBlanks(text);
  bool zeroFirst = !text.empty() && text.front() == '0';
  bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  // Digits or a point must follow: no "inf", "nan" or a second sign.
  if (text.empty() || !(IsDigit(text.front()) || text.front() == '.')) return std::nullopt;
  float value = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (r.ec == std::errc::invalid_argument) return std::nullopt;
  size_t used = size_t(r.ptr - text.data());
  if (r.ec == std::errc::result_out_of_range)
    value = Underflows(text.substr(0, used)) ? 0.0f : std::numeric_limits<float>::infinity();
  if (!OnlyBlanks(text.substr(used))) return std::nullopt;
  if (negative) value = -value;
  if (value == 0 && !zeroFirst) return std::nullopt;
  return value;
}

bool SpellsNumber(std::string_view text, int64_t value, bool allowMinus) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  uint64_t magnitude = value < 0 ? uint64_t(-value) : uint64_t(value);
  do {
    if (end == 0 || text[end - 1] != char('0' + magnitude % 10)) return false;
    --end;
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) {
    if (!allowMinus || end == 0 || text[end - 1] != '-') return false;
    --end;
  }
  return OnlyBlanks(text.substr(0, end));
}

std::string FormatFloat(float value) {
  std::array<char, 64> buf;
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), double(value), std::chars_format::general, 6);
  return r.ec == std::errc() ? std::string(buf.data(), r.ptr) : std::string();
}

std::string FormatLoadedFloat(float value) {
  std::string s = Fixed(value, 6);
  if (size_t point = s.find('.'); point != std::string::npos) {
    s.erase(s.find_last_not_of('0') + 1);
    if (s.size() > point + 4) s.erase(point + 4);
    if (s.back() == '.') s.pop_back();
  }
  if (!s.empty() && s.front() == '.') s.insert(0, "0");
  // A negative value that shows as zero ("-0", "-0.000") would be refused
  // when the dialog is saved unchanged: it shows without the sign.
  if (!s.empty() && s.front() == '-' && s.find_first_not_of("0.", 1) == std::string::npos) s.erase(0, 1);
  return s;
}

std::array<uint8_t, 4> EncodeFloat(float value) {
  std::array<uint8_t, 4> bytes{};
  base::WriteBEFloat(bytes.data(), value);
  return bytes;
}

float DecodeFloat(const std::array<uint8_t, 4>& bytes) { return base::ReadBEFloat(bytes.data()); }

bool NumericValue::Parse(std::string_view text) {
  switch (Kind()) {
    case NumericKind::Unsigned: return Assign(ParseUnsigned(text), unsignedValue);
    case NumericKind::Signed: return Assign(ParseSigned(text), signedValue);
    case NumericKind::Float: return Assign(ParseFloat(text), floatValue);
    case NumericKind::None: break;
  }
  return true;
}

std::string NumericValue::Text() const {
  switch (Kind()) {
    case NumericKind::Unsigned: return std::to_string(unsignedValue);
    case NumericKind::Signed: return std::to_string(signedValue);
    case NumericKind::Float: return FormatFloat(floatValue);
    case NumericKind::None: break;
  }
  return {};
}

std::string NumericValue::DisplayText() const {
  return Kind() == NumericKind::Float ? FormatLoadedFloat(floatValue) : Text();
}

bool NumericValue::InRange() const {
  if (auto r = FloatRangeOf(valueType)) return floatValue >= r->lo && floatValue <= r->hi;  // NaN fails
  auto r = IntegerRangeOf(valueType, isSigned != 0);
  if (!r) return true;
  int64_t v = isSigned ? int64_t(signedValue) : int64_t(unsignedValue);
  return v >= r->lo && v <= r->hi;
}

bool NumericValue::Convert(bool toEncoded, std::string_view fieldText) {
  NumericKind kind = Kind();
  if (!toEncoded) {
    float f = DecodeFloat(encoded);
    if (kind == NumericKind::Float)
      floatValue = f;
    else if (kind == NumericKind::Signed)
      signedValue = TruncateSigned(f);
    else if (kind == NumericKind::Unsigned)
      unsignedValue = TruncateUnsigned(f);
    return true;
  }
  if (kind == NumericKind::None) return true;
  if (!InRange()) return false;
  if (kind != NumericKind::Float) {
    int64_t v = kind == NumericKind::Signed ? int64_t(signedValue) : int64_t(unsignedValue);
    if (!SpellsNumber(fieldText, v, kind == NumericKind::Signed)) return false;
    floatValue = float(v);
  }
  encoded = EncodeFloat(floatValue);
  return true;
}

std::string NumericValue::ParseMessage() const {
  switch (Kind()) {
    case NumericKind::Unsigned: return Translate("Please enter a positive integer");
    case NumericKind::Signed: return Translate("Please enter an integer");
    case NumericKind::Float: return Translate("Please enter a value!");
    case NumericKind::None: break;
  }
  return {};
}

std::string NumericValue::RangeMessage() const {
  if (auto r = FloatRangeOf(valueType))
    return Translate("Please enter a float value between") + " " + Bound(r->lo) + " " + Translate("and") +
           " " + Bound(r->hi) + "!";
  auto r = IntegerRangeOf(valueType, isSigned != 0);
  if (!r) return {};
  std::string lead = Translate("Please enter an integer between");
  std::string lo = isSigned ? std::to_string(r->lo) : "0";
  return lead + " " + lo + " " + Translate("and") + " " + std::to_string(r->hi) + "!";
}

NumericEdit::NumericEdit(int controlId, uint8_t valueType, bool isSigned) : id_(controlId) {
  SetType(valueType, isSigned);
}

void NumericEdit::SetType(uint8_t valueType, bool isSigned) {
  value_.valueType = valueType;
  value_.isSigned = isSigned ? 1 : 0;
}

void NumericEdit::Exchange(ui::DataExchange& dx) {
  if (dx.Failed() || value_.Kind() == NumericKind::None) return;
  ui::Dialog& dialog = dx.Owner();
  if (!dx.Saving()) {
    WriteText(dialog, value_.Text());
    return;
  }
  if (value_.Parse(ReadText(dialog))) return;
  Report(dialog, value_.ParseMessage());
  dx.Fail(id_);
}

bool NumericEdit::Convert(ui::Dialog& dialog, bool toEncoded) {
  if (value_.Convert(toEncoded, ReadText(dialog))) return true;
  Refuse(dialog, value_.RangeMessage());
  return false;
}

bool NumericEdit::Save(ui::Dialog& dialog) {
  if (!value_.Parse(ReadText(dialog))) {
    Refuse(dialog, value_.ParseMessage());
    return false;
  }
  return Convert(dialog, true);
}

void NumericEdit::Load(const uint8_t bytes[4]) {
  std::memcpy(value_.encoded.data(), bytes, value_.encoded.size());
  value_.Convert(false, {});
}

void NumericEdit::Show(ui::Dialog& dialog) const {
  if (value_.Kind() != NumericKind::None) WriteText(dialog, value_.DisplayText());
}

void NumericEdit::Store(uint8_t bytes[4]) const {
  std::memcpy(bytes, value_.encoded.data(), value_.encoded.size());
}

std::string NumericEdit::ReadText(const ui::Dialog& dialog) const {
  std::string text = dialog.GetDlgItemText(id_);
  if (text.size() > kMaxText) text.resize(kMaxText);
  return text;
}

void NumericEdit::WriteText(ui::Dialog& dialog, const std::string& text) const {
  if (dialog.GetDlgItemText(id_) != text) dialog.SetDlgItemText(id_, text);
}

void NumericEdit::Report(ui::Dialog& dialog, const std::string& text) const {
  dialog.Services().MessageBox({Translate("Error"), text, ui::Buttons::Ok, ui::Icon::Stop, 0, true});
}

void NumericEdit::Refuse(ui::Dialog& dialog, const std::string& text) const {
  Report(dialog, text);
  dialog.SetFocus(id_);
  dialog.SetEditSel(id_, 0, -1);
}

}  // namespace editor
