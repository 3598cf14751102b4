#pragma once
// NumericValue and NumericEdit: a numeric entry of the message dialogs. The
// user's text is parsed into a typed value, checked against the range of the
// value's type and stored as an IEEE single-precision float, most
// significant byte first; stored bytes load back into the typed value and
// its text. Parsing and formatting never depend on the process locale.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ui {
class DataExchange;
class Dialog;
}  // namespace ui

namespace editor {

// How a value of a type code is entered: types 3, 8, 9 and 10 as integers
// (signed or unsigned), 6 and 7 as floats; other types have no entry.
enum class NumericKind { None, Unsigned, Signed, Float };
NumericKind KindOf(uint8_t valueType, bool isSigned);

struct IntegerRange {
  int64_t lo, hi;
};
struct FloatRange {
  float lo, hi;
};
// Inclusive ranges of the integer and float types; nothing for other types.
std::optional<IntegerRange> IntegerRangeOf(uint8_t valueType, bool isSigned);
std::optional<FloatRange> FloatRangeOf(uint8_t valueType);

// Text to number. Leading and trailing blanks and tabs are allowed, nothing
// else around the number; a result of 0 counts only when the number starts
// with the digit 0 ("-0" is refused). Integers too large for 32 bits
// saturate, floats too large become infinite: the range check refuses both.
std::optional<uint32_t> ParseUnsigned(std::string_view text);  // digits only, no sign
std::optional<int32_t> ParseSigned(std::string_view text);     // optional sign and digits
std::optional<float> ParseFloat(std::string_view text);        // decimal, optional exponent

// True when `text`, read from its end, spells exactly `value`: blanks and
// tabs around it, no leading zeros or '+', and a '-' only when `allowMinus`.
bool SpellsNumber(std::string_view text, int64_t value, bool allowMinus);

// A float as the entry shows it while editing ("%.6g").
std::string FormatFloat(float value);
// A loaded float: "%f" without trailing zeros, at most three decimals (cut,
// not rounded), no point at the end, a "0" before a leading point.
std::string FormatLoadedFloat(float value);

std::array<uint8_t, 4> EncodeFloat(float value);  // big-endian IEEE single
float DecodeFloat(const std::array<uint8_t, 4>& bytes);

struct NumericValue {
  uint32_t unsignedValue = 0;
  int32_t signedValue = 0;
  float floatValue = 0;
  std::array<uint8_t, 4> encoded{};  // the float, most significant byte first
  uint8_t valueType = 0;             // 3, 6, 7, 8, 9 or 10
  uint32_t isSigned = 0;             // nonzero: integer types are signed

  NumericKind Kind() const { return KindOf(valueType, isSigned != 0); }
  // Parses `text` into the typed value; false (value unchanged) when it is
  // unparsable. Types without an entry accept anything.
  bool Parse(std::string_view text);
  // The typed value as text ("%lu", "%ld" or "%.6g").
  std::string Text() const;
  // The text shown after loading: floats by FormatLoadedFloat.
  std::string DisplayText() const;
  // True when the typed value lies in the type's range.
  bool InRange() const;
  // Towards `encoded`: checks the range (integers: and that `fieldText`
  // spells the value) and fills floatValue and encoded; false on a
  // violation, nothing changed. From `encoded`: fills the typed value
  // (integers truncated toward zero, saturated to 32 bits).
  bool Convert(bool toEncoded, std::string_view fieldText);
  // What the user is told (translated) for an unparsable text and for a
  // value out of range.
  std::string ParseMessage() const;
  std::string RangeMessage() const;
};

// An edit control of a dialog bound to a NumericValue.
class NumericEdit {
 public:
  static constexpr size_t kMaxText = 31;  // characters read from the control

  explicit NumericEdit(int controlId, uint8_t valueType = 0, bool isSigned = false);
  int Id() const { return id_; }
  void SetType(uint8_t valueType, bool isSigned);
  NumericValue& Value() { return value_; }
  const NumericValue& Value() const { return value_; }

  // For DoDataExchange. Saving parses the control's text; an unparsable
  // text is reported in an error box and fails the field. Loading writes
  // the value's text.
  void Exchange(ui::DataExchange& dx);
  // Convert of the value against the control's text; a violation is
  // reported in an error box and the field gets the focus, text selected.
  bool Convert(ui::Dialog& dialog, bool toEncoded);
  // Parse and Convert towards the bytes, for a field on its own; failures
  // are reported as by Exchange and Convert.
  bool Save(ui::Dialog& dialog);
  // Takes four stored bytes and decodes them into the typed value.
  void Load(const uint8_t bytes[4]);
  // Writes the loaded value's DisplayText to the control.
  void Show(ui::Dialog& dialog) const;
  const std::array<uint8_t, 4>& Encoded() const { return value_.encoded; }
  void Store(uint8_t bytes[4]) const;

  // The control's text, at most kMaxText characters.
  std::string ReadText(const ui::Dialog& dialog) const;
  // Sets the control's text unless it already shows `text`.
  void WriteText(ui::Dialog& dialog, const std::string& text) const;

 private:
  void Report(ui::Dialog& dialog, const std::string& text) const;
  void Refuse(ui::Dialog& dialog, const std::string& text) const;

  int id_;
  NumericValue value_;
};

}  // namespace editor
