// Numeric entries in a one-field dialog driven by UI scripts, and the text
// rules that the dialogs rely on.
#include "editor/numeric_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <sstream>

#include "ui/ddx.h"
#include "ui/dialog.h"
#include "ui/script.h"

namespace {

using editor::NumericEdit;
using Bytes = std::array<uint8_t, 4>;
constexpr int kField = 100;

ui::DialogTemplate FieldTemplate() {
  ui::DialogTemplate t;
  t.id = 950;
  t.caption = "Value";
  t.cx = 120;
  t.cy = 50;
  t.controls = {
      {ui::IDOK, ui::ControlKind::DefPushButton, "OK", {10, 30, 45, 14}, ui::kTabStop},
      {ui::IDCANCEL, ui::ControlKind::PushButton, "Cancel", {65, 30, 45, 14}, ui::kTabStop},
      {kField, ui::ControlKind::Edit, "", {10, 10, 100, 12}, ui::kTabStop},
  };
  return t;
}

// One entry, loaded from `stored` when given; OK exchanges and converts it.
class FieldDialog : public ui::Dialog {
 public:
  FieldDialog(uint8_t type, bool isSigned, std::optional<Bytes> stored = {})
      : ui::Dialog(FieldTemplate()), field(kField, type, isSigned), stored_(stored) {}

  NumericEdit field;
  struct Failure {
    int focus, selStart, selEnd;
  };
  std::vector<Failure> failures;

 protected:
  bool OnInitDialog() override {
    if (stored_) field.Load(stored_->data());
    UpdateData(false);
    if (stored_) field.Show(*this);
    return true;
  }
  void DoDataExchange(ui::DataExchange& dx) override { field.Exchange(dx); }
  void OnOK() override {
    if (UpdateData(true) && field.Convert(*this, true)) return EndDialog(ui::IDOK);
    const ui::ControlState* c = Control(kField);
    failures.push_back({GetFocus(), c->selStart, c->selEnd});
  }

 private:
  std::optional<Bytes> stored_;
};

struct Outcome {
  int result;
  std::string report;
  bool scriptOk;
};

Outcome RunScript(FieldDialog& dialog, const std::string& script) {
  std::istringstream in(script);
  std::ostringstream out;
  auto services = ui::MakeScriptedServices(in, out);
  int result = dialog.DoModal(*services);
  bool ok = services->Finish();
  return {result, out.str(), ok};
}

// Enters each text in turn and presses OK; the last one must be accepted.
Outcome Enter(FieldDialog& dialog, const std::vector<std::string>& texts) {
  std::string script;
  for (const std::string& t : texts) script += "text 100 \"" + t + "\"\nfocus 2\nok\n";
  return RunScript(dialog, script);
}

std::string Box(const std::string& text) { return "box: Error: " + text + " -> ok (default)\n"; }

TEST(NumericEdit, UnsignedEightBitParsesRangeChecksAndFocusesTheFailedField) {
  FieldDialog d(8, false);
  Outcome o = Enter(d, {"42x", "256", "4294967338", "007", " \\t42 \\t"});
  EXPECT_TRUE(o.scriptOk) << o.report;
  EXPECT_EQ(o.result, ui::IDOK);
  std::string range = Box("Please enter an integer between 0 and 255!");
  // 2^32 + 42 must not wrap to 42; leading zeros do not spell the value.
  EXPECT_EQ(o.report, Box("Please enter a positive integer") + range + range + range);
  EXPECT_EQ(d.field.Value().unsignedValue, 42u);
  EXPECT_EQ(d.field.Encoded(), (Bytes{0x42, 0x28, 0x00, 0x00}));
  ASSERT_EQ(d.failures.size(), 4u);
  EXPECT_EQ(d.failures[0].focus, kField);  // refused by the exchange
  EXPECT_EQ(d.failures[0].selStart, 0);
  EXPECT_EQ(d.failures[0].selEnd, 3);
  EXPECT_EQ(d.failures[1].focus, kField);  // refused by the range check
  EXPECT_EQ(d.failures[1].selEnd, 3);
}

TEST(NumericEdit, SignRulesAndSignedRanges) {
  FieldDialog u16(9, false);
  Outcome o = Enter(u16, {"-1", "+1", "65536", "65535"});
  EXPECT_TRUE(o.scriptOk) << o.report;
  EXPECT_EQ(o.report, Box("Please enter a positive integer") + Box("Please enter a positive integer") +
                          Box("Please enter an integer between 0 and 65535!"));
  EXPECT_EQ(u16.field.Encoded(), (Bytes{0x47, 0x7F, 0xFF, 0x00}));

  FieldDialog s8(3, true);
  o = Enter(s8, {"-0", "- 5", "-129", "128", "+5", "-128"});
  EXPECT_TRUE(o.scriptOk) << o.report;
  std::string range = Box("Please enter an integer between -128 and 127!");
  EXPECT_EQ(o.report,
            Box("Please enter an integer") + Box("Please enter an integer") + range + range + range);
  EXPECT_EQ(s8.field.Value().signedValue, -128);
  EXPECT_EQ(s8.field.Encoded(), (Bytes{0xC3, 0x00, 0x00, 0x00}));

  FieldDialog s16(9, true);
  o = Enter(s16, {"32768", "-2147483649", "-32768"});
  EXPECT_EQ(o.report, Box("Please enter an integer between -32768 and 32767!") +
                          Box("Please enter an integer between -32768 and 32767!"));
  EXPECT_EQ(s16.field.Value().signedValue, -32768);
}

TEST(NumericEdit, BoundsOfThe32BitAndThe16BitFloatTypes) {
  FieldDialog u32(10, false);
  Outcome o = Enter(u32, {"16500001", "16500000"});
  EXPECT_EQ(o.report, Box("Please enter an integer between 0 and 16500000!"));
  EXPECT_EQ(u32.field.Encoded(), (Bytes{0x4B, 0x7B, 0xC5, 0x20}));

  FieldDialog s32(10, true);
  o = Enter(s32, {"-16500001", "-16500000"});
  EXPECT_EQ(o.report, Box("Please enter an integer between -16500000 and 16500000!"));
  EXPECT_EQ(s32.field.Value().signedValue, -16500000);

  // The bounds are single-precision floats: 670760.97 rounds above the upper one.
  FieldDialog f16(6, false);
  o = Enter(f16, {"670760.97", "-671089", "1e50", "-671088.64"});
  std::string range = Box("Please enter a float value between -671088.62 and 670760.94!");
  EXPECT_EQ(o.report, range + range + range);
  EXPECT_EQ(f16.field.Value().floatValue, -671088.64f);

  FieldDialog f16top(6, false);
  EXPECT_EQ(Enter(f16top, {"670760.96"}).report, "");

  FieldDialog f32(7, true);
  o = Enter(f32, {"16500002", "16500000"});
  EXPECT_EQ(o.report, Box("Please enter a float value between -16500000.00 and 16500000.00!"));
}

TEST(NumericEdit, FloatFieldRefusesMinusZeroAndJunk) {
  FieldDialog d(7, false);
  Outcome o = Enter(d, {"-0", ".0", "nan", "inf", "1,5", "1e", "0x10", "", "0"});
  EXPECT_TRUE(o.scriptOk) << o.report;
  std::string refused;
  for (int i = 0; i < 8; ++i) refused += Box("Please enter a value!");
  EXPECT_EQ(o.report, refused);
  EXPECT_EQ(d.field.Encoded(), (Bytes{0, 0, 0, 0}));

  FieldDialog e(7, false);
  o = Enter(e, {" -2.5e1\\t"});
  EXPECT_EQ(o.report, "");
  EXPECT_EQ(e.field.Encoded(), (Bytes{0xC1, 0xC8, 0x00, 0x00}));
}

TEST(NumericEdit, StoredBytesLoadAndShow) {
  FieldDialog entered(3, false);
  EXPECT_EQ(Enter(entered, {"200"}).result, ui::IDOK);
  EXPECT_EQ(entered.field.Encoded(), (Bytes{0x43, 0x48, 0x00, 0x00}));

  FieldDialog loaded(3, false, entered.field.Encoded());
  Outcome o = RunScript(loaded, "expect-text 100 \"200\"\nok\n");
  EXPECT_TRUE(o.scriptOk) << o.report;
  EXPECT_EQ(loaded.field.Value().unsignedValue, 200u);
  EXPECT_EQ(loaded.field.Encoded(), (Bytes{0x43, 0x48, 0x00, 0x00}));

  // Floats: trailing zeros and point dropped, decimals cut after three.
  struct Shown {
    float value;
    const char* text;
  };
  for (Shown s : {Shown{12.5f, "12.5"}, Shown{3.0f, "3"}, Shown{0.1234f, "0.123"}, Shown{0.9999f, "0.999"},
                  Shown{-2.0629f, "-2.062"}, Shown{16500000.0f, "16500000"}, Shown{-0.0f, "0"}}) {
    FieldDialog f(7, false, editor::EncodeFloat(s.value));
    o = RunScript(f, "expect-text 100 \"" + std::string(s.text) + "\"\nok\n");
    EXPECT_TRUE(o.scriptOk) << s.text << "\n" << o.report;
  }

  // Integers truncate toward zero; values outside 32 bits saturate.
  FieldDialog s(9, true, editor::EncodeFloat(-5.75f));
  EXPECT_TRUE(RunScript(s, "expect-text 100 \"-5\"\ncancel\n").scriptOk);
  FieldDialog negative(9, false, editor::EncodeFloat(-5.0f));
  EXPECT_TRUE(RunScript(negative, "expect-text 100 \"0\"\ncancel\n").scriptOk);
  FieldDialog huge(10, true, editor::EncodeFloat(1e20f));
  EXPECT_TRUE(RunScript(huge, "expect-text 100 \"2147483647\"\ncancel\n").scriptOk);
  FieldDialog nan(10, false, editor::EncodeFloat(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_TRUE(RunScript(nan, "expect-text 100 \"0\"\ncancel\n").scriptOk);
}

TEST(NumericEdit, ReadsAtMost31Characters) {
  std::string tail(30, ' ');
  FieldDialog d(8, false);
  Outcome o = Enter(d, {"7" + tail + "xxxxxxxxx"});  // 40 characters
  EXPECT_EQ(o.report, "");
  EXPECT_EQ(d.field.Value().unsignedValue, 7u);

  FieldDialog f(7, false);
  o = Enter(f, {"0.5" + std::string(28, ' ') + "junk junk"});
  EXPECT_EQ(o.report, "");
  EXPECT_EQ(f.field.Value().floatValue, 0.5f);
}

struct ChangeCounter : ui::DialogObserver {
  int changes = 0;
  void ControlChanged(int id) override { changes += id == kField; }
  void Repaint(int) override {}
  void DialogChanged() override {}
  void FocusChanged(int) override {}
  void TimerChanged(int, int, int) override {}
  void Ended(int) override {}
};

TEST(NumericEdit, WritesTheControlOnlyWhenTheTextDiffersAndSavesOnItsOwn) {
  FieldDialog d(7, false);
  ChangeCounter counter;
  d.AddObserver(&counter);
  Bytes stored = editor::EncodeFloat(12.5f);
  d.field.Load(stored.data());
  d.field.Show(d);
  EXPECT_EQ(counter.changes, 1);
  d.SetEditSel(kField, 1, 3);
  d.field.Show(d);
  EXPECT_TRUE(d.UpdateData(false));  // "%.6g" of 12.5 is the same text
  EXPECT_EQ(counter.changes, 2);     // only the selection
  EXPECT_EQ(d.Control(kField)->selStart, 1);
  d.RemoveObserver(&counter);

  d.SetDlgItemText(kField, "-3.25");
  EXPECT_TRUE(d.field.Save(d));
  Bytes out{};
  d.field.Store(out.data());
  EXPECT_EQ(out, (Bytes{0xC0, 0x50, 0x00, 0x00}));
}

TEST(NumericValue, ParsingAndSpellingRules) {
  using editor::ParseFloat, editor::ParseSigned, editor::ParseUnsigned, editor::SpellsNumber;
  EXPECT_EQ(ParseUnsigned("4294967296"), std::numeric_limits<uint32_t>::max());
  EXPECT_EQ(ParseUnsigned(" 0 "), 0u);
  EXPECT_EQ(ParseUnsigned("5 5"), std::nullopt);
  EXPECT_EQ(ParseSigned("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ParseSigned("99999999999"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ParseSigned("+0"), std::nullopt);
  EXPECT_EQ(ParseFloat(".5"), 0.5f);
  EXPECT_EQ(ParseFloat("0e-99"), 0.0f);
  EXPECT_EQ(ParseFloat("1e-99"), std::nullopt);  // zero, not spelt with a leading 0
  EXPECT_EQ(ParseFloat("-1e99"), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(ParseFloat("--1"), std::nullopt);
  EXPECT_EQ(ParseFloat("1.5."), std::nullopt);

  EXPECT_TRUE(SpellsNumber(" \t-42\t ", -42, true));
  EXPECT_FALSE(SpellsNumber("-42", -42, false));
  EXPECT_FALSE(SpellsNumber("42", -42, true));
  EXPECT_FALSE(SpellsNumber("x42", 42, false));
  EXPECT_FALSE(SpellsNumber("4", 42, false));
  EXPECT_TRUE(SpellsNumber("0", 0, false));

  editor::NumericValue v;
  v.valueType = 7;
  v.floatValue = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(v.Convert(true, "nan"));
  v.valueType = 5;  // no entry: nothing to check or convert
  EXPECT_TRUE(v.Parse("anything"));
  EXPECT_TRUE(v.Convert(true, ""));
  EXPECT_EQ(v.Text(), "");
}

}  // namespace
