// The settings dialogs of time, date and numeric messages with their
// sub-dialogs, opened from the main dialog as a user does, with the records
// they store checked byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "data/dx470data.h"
#include "data/positions.h"
#include "editor/main_dialog.h"
#include "editor/message_formats.h"
#include "editor/numeric_value.h"
#include "script_run.h"
#include "ui/script.h"
#include "ui/services.h"

namespace {

// Controls of the time and date dialogs.
constexpr int kFormat = 1062, kExample = 1064, kFirstZero = 1065, kSecondZero = 1066, kThirdZero = 1067,
              kYears = 1069;
// Controls of the numeric dialog and its sub-dialogs.
constexpr int kAlarmValue = 1084, kCondition = 1082, kTextRadio = 1088, kModify = 1087, kRanges = 1089,
              kLower = 1092, kUpper = 1094, kStep = 1096;
constexpr int kLowerObject = 1102, kLowerDisplay = 1104, kUpperObject = 1106, kUpperDisplay = 1108,
              kMultiplier = 1111, kSetDefaults = 1116;
constexpr int kLowerLimit = 1122, kUpperLimit = 1124, kLowerText = 1127, kGetCharacter = 1132;

std::string Script(std::initializer_list<std::string> lines) {
  std::string s;
  for (const std::string& line : lines) s += line + "\n";
  return s;
}
std::string Id(int id) { return " " + std::to_string(id); }

class MessageValueDialogs : public ::testing::Test {
 protected:
  dx470::PARAM& Param() { return data.Param(); }
  dx470::MELDUNGSPEZIFISCHE_PARAMETER& Record(int slot) { return Param().Lcd.Messages[slot]; }
  uint8_t* Bytes(int slot) { return dx470::Bytes(Record(slot)); }
  float FloatAt(int slot, size_t offset) {
    std::array<uint8_t, 4> b{};
    std::memcpy(b.data(), Bytes(slot) + offset, 4);
    return editor::DecodeFloat(b);
  }
  void SetFloat(int slot, size_t offset, float v) {
    std::memcpy(Bytes(slot) + offset, editor::EncodeFloat(v).data(), 4);
  }
  // Runs the main dialog with `script`; the settings dialog of slot 0 is
  // opened with "click 4".
  int Run(const std::string& script) {
    editor::DX470MainDialog dialog(data);
    testui::ScriptRun run = testui::RunScript(dialog, script);
    ok = run.ok;
    report = run.report;
    return run.result;
  }
  bool Boxed(const std::string& text) {
    return report.find("box: Error: " + text + " -> ok\n") != std::string::npos;
  }

  CDX470Data data;
  bool ok = false;
  std::string report;
};

// ---- Time and date.

TEST_F(MessageValueDialogs, NewTimeAndDateMessagesSendNothingAndKeepTheirLimitsZero) {
  for (const char* type : {"time", "date"}) {
    EXPECT_EQ(Run(Script({"click 3", "select-text 1002 \"" + std::string(type) + "\"",
                          "expect-items 1005 \"unused\"", "expect-text 1005 \"unused\"", "ok",
                          "expect-dialog " + std::string(type[0] == 't' ? "218" : "217"),
                          "expect-title \"Message settings (" + std::string(type) + ")\"", "ok", "ok"})),
              ui::IDOK)
        << type;
    EXPECT_TRUE(ok) << report;
  }
  for (int slot = 0; slot < 2; ++slot) {
    EXPECT_EQ(Param().MessageType[slot], 0);
    for (size_t b = 100; b < 236; ++b) EXPECT_EQ(Bytes(slot)[b], 0) << slot << " byte " << b;
  }
  EXPECT_EQ(Param().MessageKind[0], 4);
  EXPECT_EQ(Param().MessageKind[1], 5);
}

TEST_F(MessageValueDialogs, TheTimeExampleFollowsTheBoxesAndTheFormat) {
  dx470::DefineMessage(Param(), 0, 4, 0, false, "Clock");
  const std::string ex = "expect-text" + Id(kExample) + " ";
  EXPECT_EQ(Run(Script({"click 4", "expect-dialog 218", ex + "\"18:09:05\"",
                        "expect-text" + Id(kFormat) + " \"24 hours\"", "check" + Id(kThirdZero) + " 1",
                        ex + "\"18 : 09 : 5\"", "select" + Id(kFormat) + " 0", ex + "\"06 : 09 : 5  PM\"",
                        "check" + Id(kFirstZero) + " 1", ex + "\"6 : 09 : 5  PM\"",
                        "check" + Id(kSecondZero) + " 1", ex + "\"6 : 9 : 5  PM\"",
                        "select" + Id(kFormat) + " 1", ex + "\"6 : 9 : 5\"", "select" + Id(kFormat) + " 2",
                        ex + "\"18 : 9 : 5\"", "select" + Id(kFormat) + " 1", "ok", "ok"})),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Bytes(0)[100], editor::kTime12Hours | editor::kTimeNoZeroHours | editor::kTimeNoZeroMinutes |
                               editor::kTimeNoZeroSeconds);
}

TEST_F(MessageValueDialogs, ALoadedTimeFormatShowsItsExampleAndSetDefaultGoesBack) {
  dx470::DefineMessage(Param(), 0, 4, 0, false, "Clock");
  Bytes(0)[100] = 0x1F;
  const std::string ex = "expect-text" + Id(kExample) + " ";
  EXPECT_EQ(Run(Script({"click 4", ex + "\"6 : 9 : 5  PM\"",
                        "expect-text" + Id(kFormat) + " \"12 hours with AM/PM\"",
                        "expect-checked" + Id(kSecondZero) + " 1", "answer yes", "click 3",
                        ex + "\"18:09:05\"", "expect-checked" + Id(kFirstZero) + " 0", "ok", "ok"})),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Bytes(0)[100], 0);
}

TEST_F(MessageValueDialogs, TheDateExampleFollowsTheBoxesTheYearsAndTheOrder) {
  dx470::DefineMessage(Param(), 0, 5, 0, false, "Today");
  const std::string ex = "expect-text" + Id(kExample) + " ";
  EXPECT_EQ(
      Run(Script({"click 4", "expect-dialog 217", ex + "\"05.01.2004\"",
                  "expect-text" + Id(kYears) + " \"4 digits\"", "check" + Id(kFirstZero) + " 1",
                  ex + "\" 5 . 01 . 2004 \"", "select" + Id(kYears) + " 0", ex + "\" 5 . 01 . 04 \"",
                  "select" + Id(kFormat) + " 1", ex + "\" 04 . 01 . 5 \"", "check" + Id(kSecondZero) + " 1",
                  ex + "\" 04 . 1 . 5 \"", "select" + Id(kFormat) + " 2", ex + "\" 04 / 1 / 5 \"",
                  "check" + Id(kFirstZero) + " 0", ex + "\" 04 / 1 / 05 \"", "ok", "ok"})),
      ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Bytes(0)[100],
            editor::kDateNoZeroMonth | editor::kDateTwoDigitYear | editor::kDateYearFirstSlashes);
}

TEST_F(MessageValueDialogs, OkWithoutChangesKeepsTimeAndDateRecordsButForMeaninglessBits) {
  dx470::DefineMessage(Param(), 0, 4, 0, false, "Clock");
  dx470::DefineMessage(Param(), 1, 5, 0, false, "Today");
  dx470::DefineMessage(Param(), 2, 4, 0, false, "Alarm clock");
  dx470::DefineMessage(Param(), 3, 5, 0, false, "Birthday");
  Bytes(0)[100] = 0x0D;  // 12 hours, no zero of seconds and hours: kept
  Bytes(1)[100] = 0x06;  // no zero of the month, 2-digit year: kept
  Bytes(2)[100] = 0xF0;  // AM/PM without 12 hours loads as "24 hours": bit 4 goes, bits 5..7 stay
  Bytes(3)[100] = 0x18;  // both order bits load as "yy/mm/dd": bit 3 goes
  const auto before = std::make_unique<dx470::PARAM>(Param());
  EXPECT_EQ(
      Run("click 4\nok\nselect 201 1\nclick 4\nok\nselect 201 2\nclick 4\nexpect-text 1064 \"18:09:05\"\n"
          "expect-text 1062 \"24 hours\"\nok\nselect 201 3\nclick 4\nok\nok\n"),
      ui::IDOK);
  EXPECT_TRUE(ok) << report;
  before->Lcd.Messages[2].TypeSpecific[0] = 0xE0;
  before->Lcd.Messages[3].TypeSpecific[0] = 0x10;
  for (int slot = 0; slot < 4; ++slot)
    EXPECT_EQ(std::memcmp(&Record(slot), &before->Lcd.Messages[slot], sizeof(Record(slot))), 0) << slot;
}

// ---- Numeric messages: display mode and its sub-dialogs.

TEST_F(MessageValueDialogs, ModifyDisplayValuesStoresScalingAndPresentation) {
  dx470::DefineMessage(Param(), 0, 3, 3, false, "Level");
  EXPECT_EQ(Run(Script({"click 4", "expect-dialog 222", "expect-enabled" + Id(kModify) + " 1",
                        "expect-enabled" + Id(kRanges) + " 0", "click" + Id(kModify), "expect-dialog 215",
                        "expect-text" + Id(kMultiplier) + " \"none\"", "expect-text 1113 \"3\"",
                        "text" + Id(kLowerObject) + " \"10\"", "text" + Id(kUpperObject) + " \"200\"",
                        "text" + Id(kLowerDisplay) + " \"-5.5\"", "text" + Id(kUpperDisplay) + " \"100\"",
                        "select" + Id(kMultiplier) + " 5", "select 1113 5", "select 1115 2", "ok",
                        // The limits must lie within the display range, now -0.055..1.
                        "text" + Id(kLower) + " \"0\"", "text" + Id(kUpper) + " \"1\"",
                        "text" + Id(kStep) + " \"0.25\"", "ok", "ok"})),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(int8_t(Bytes(0)[100]), 2);  // "/100"
  EXPECT_EQ(Bytes(0)[101], 6);
  EXPECT_EQ(Bytes(0)[102], 2);
  EXPECT_EQ(Bytes(0)[103], 4);  // value mode, unsigned, "greater than"
  EXPECT_EQ(FloatAt(0, 104), 200.0f);
  EXPECT_EQ(FloatAt(0, 108), 10.0f);
  EXPECT_EQ(FloatAt(0, 112), 100.0f);
  EXPECT_EQ(FloatAt(0, 116), -5.5f);
  EXPECT_EQ(FloatAt(0, 224), 1.0f);
  EXPECT_EQ(FloatAt(0, 228), 0.25f);
}

TEST_F(MessageValueDialogs, TextSymbolsOnOkStoresTheRangesAndDiscardsTheScalingEdits) {
  dx470::DefineMessage(Param(), 0, 3, 3, false, "Level");
  Bytes(0)[100] = 0xFF;  // "x10"
  Bytes(0)[101] = 7;
  EXPECT_EQ(Run(Script({"click 4", "click" + Id(kModify), "text" + Id(kUpperObject) + " \"200\"",
                        "text" + Id(kUpperDisplay) + " \"100\"", "ok", "check" + Id(kTextRadio) + " 1",
                        "expect-enabled" + Id(kModify) + " 0", "click" + Id(kRanges), "expect-dialog 223",
                        "expect-title \"Define ranges for textual display - receive type: value 8 bit\"",
                        "text" + Id(kLowerLimit) + " \"10\"", "text" + Id(kUpperLimit) + " \"100\"",
                        "text" + Id(kLowerText) + " \"Lo\"", "ok", "ok", "ok"})),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  const uint8_t* b = Bytes(0);
  EXPECT_EQ(b[100], 0);  // the textual display has the type's number format
  EXPECT_EQ(b[101], 3);
  EXPECT_EQ(b[102], 0);
  EXPECT_EQ(b[103], 5);  // text mode, "greater than"
  EXPECT_EQ(FloatAt(0, 104), 100.0f);
  EXPECT_EQ(FloatAt(0, 108), 10.0f);
  for (size_t k = 112; k < 120; ++k) EXPECT_EQ(b[k], 0) << k;  // no display values
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 180)), "Lo");
  for (size_t k = 182; k < 210; ++k) EXPECT_EQ(b[k], 0) << k;
}

TEST_F(MessageValueDialogs, SubDialogsRefuseBadOrdersAndCancelKeepsTheirCopy) {
  dx470::DefineMessage(Param(), 0, 3, 3, false, "Level");
  EXPECT_EQ(Run(Script({"click 4", "click" + Id(kModify), "text" + Id(kLowerObject) + " \"200\"",
                        "text" + Id(kUpperObject) + " \"100\"", "answer ok", "ok", "expect-dialog 215",
                        "text" + Id(kUpperObject) + " \"250\"", "text" + Id(kUpperDisplay) + " \"255\"", "ok",
                        // Set defaults clears what OK had stored in the copy.
                        "click" + Id(kModify), "expect-text" + Id(kUpperObject) + " \"250\"", "answer yes",
                        "click" + Id(kSetDefaults), "expect-text" + Id(kUpperObject) + " \"0\"", "cancel",
                        "check" + Id(kTextRadio) + " 1", "click" + Id(kRanges),
                        "expect-enabled" + Id(kGetCharacter) + " 0", "focus" + Id(kLowerText),
                        "expect-enabled" + Id(kGetCharacter) + " 1", "focus" + Id(kLowerLimit),
                        "expect-enabled" + Id(kGetCharacter) + " 0", "text" + Id(kLowerLimit) + " \"50\"",
                        "text" + Id(kUpperLimit) + " \"50\"", "answer ok", "ok", "expect-dialog 223",
                        "text" + Id(kUpperLimit) + " \"300\"", "answer ok", "ok", "expect-dialog 223",
                        "cancel", "check 1086 1", "ok", "ok"})),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_TRUE(Boxed("Please enter an upper object value greater than or equal to lower object value!"))
      << report;
  EXPECT_TRUE(Boxed("Please enter an upper limit greater than the lower limit!")) << report;
  EXPECT_TRUE(Boxed("Please enter an integer between 0 and 255!")) << report;
  // The scaling OK had stored survives the cancelled "Set defaults".
  EXPECT_EQ(FloatAt(0, 104), 250.0f);
  EXPECT_EQ(FloatAt(0, 108), 200.0f);
  EXPECT_EQ(FloatAt(0, 112), 255.0f);
}

// ---- Numeric messages: the range rule and the order of the limits.

TEST_F(MessageValueDialogs, X100OnAnUnscaled8BitValueAllowsAlarmsUpTo25500) {
  dx470::DefineMessage(Param(), 0, 3, 3, false, "Level");
  EXPECT_EQ(
      Run(Script({"click 4", "expect-enabled" + Id(kAlarmValue) + " 0", "click" + Id(kModify),
                  "select" + Id(kMultiplier) + " 1", "ok", "check 1030 1", "select" + Id(kCondition) + " 4",
                  "text" + Id(kAlarmValue) + " \"25501\"", "answer ok", "ok", "expect-dialog 222",
                  "text" + Id(kAlarmValue) + " \"25500\"", "ok", "ok"})),
      ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_TRUE(Boxed("Please enter a value between    0.000 and 25500.000!")) << report;
  EXPECT_EQ(FloatAt(0, 210), 25500.0f);
  EXPECT_EQ(int8_t(Bytes(0)[100]), -2);
  EXPECT_EQ(Bytes(0)[103], 24);  // "less or equal"
}

TEST_F(MessageValueDialogs, ScaledDisplayValuesBoundTheAlarmInEitherOrder) {
  dx470::DefineMessage(Param(), 0, 3, 0, false, "Level");  // sends nothing: no limits to fit
  SetFloat(0, 104, 255);
  SetFloat(0, 112, -10);  // descending display values: the range is -50..-10
  SetFloat(0, 116, -50);
  Bytes(0)[100] = 1;  // "/10": -5..-1
  Bytes(0)[94] |= 1;
  SetFloat(0, 210, -3);
  EXPECT_EQ(Run(Script({"click 4", "expect-text" + Id(kAlarmValue) + " \"-3\"",
                        "text" + Id(kAlarmValue) + " \"-0.5\"", "answer ok", "ok",
                        "text" + Id(kAlarmValue) + " \"-5\"", "ok", "ok"})),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_TRUE(Boxed("Please enter a value between   -5.000 and   -1.000!")) << report;
  EXPECT_EQ(FloatAt(0, 210), -5.0f);
}

TEST_F(MessageValueDialogs, SendLimitsAndStepAreCheckedInOrder) {
  dx470::DefineMessage(Param(), 0, 3, 3, false, "Level");
  EXPECT_EQ(Run(Script({"click 4", "expect-text" + Id(kUpper) + " \"255\"", "text" + Id(kLower) + " \"-1\"",
                        "answer ok", "ok", "text" + Id(kLower) + " \"200\"", "text" + Id(kUpper) + " \"100\"",
                        "answer ok", "ok", "text" + Id(kUpper) + " \"200\"", "text" + Id(kStep) + " \"0\"",
                        "answer ok", "ok", "text" + Id(kStep) + " \"256\"", "answer ok", "ok",
                        "text" + Id(kStep) + " \"-7\"", "ok", "ok"})),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_TRUE(Boxed("Please enter a value between    0.000 and  255.000!")) << report;
  EXPECT_TRUE(Boxed("Please enter an upper limit value greater or equal to lower limit value!")) << report;
  EXPECT_TRUE(Boxed("Zero is not allowed here!")) << report;
  EXPECT_TRUE(Boxed("Please enter a value lower than or equal to  255.000!")) << report;
  // Equal limits are fine; the step's lower bound is not checked.
  EXPECT_EQ(FloatAt(0, 220), 200.0f);
  EXPECT_EQ(FloatAt(0, 224), 200.0f);
  EXPECT_EQ(FloatAt(0, 228), -7.0f);
}

TEST_F(MessageValueDialogs, FloatsAbove16500000AreRefusedEvenWhenTheRangeIsWider) {
  dx470::DefineMessage(Param(), 0, 7, 7, false, "Energy");
  EXPECT_EQ(Run(Script({"click 4", "expect-title \"Message settings (floating value 32 bit)\"",
                        "click" + Id(kModify), "select" + Id(kMultiplier) + " 0", "ok",
                        "text" + Id(kUpper) + " \"2e7\"", "answer ok", "ok", "expect-dialog 222", "cancel",
                        "cancel"})),
            ui::IDCANCEL);
  EXPECT_TRUE(ok) << report;
  EXPECT_TRUE(Boxed("Please enter a value lower than or equal to 16500000.000!")) << report;
}

TEST_F(MessageValueDialogs, WithoutANumericSendTypeTheLimitsAreNeitherEditableNorChecked) {
  dx470::DefineMessage(Param(), 0, 9, 0, true, "Count");
  SetFloat(0, 220, 5);  // out of order, but not in use
  SetFloat(0, 224, 1);
  const auto before = std::make_unique<dx470::PARAM>(Param());
  EXPECT_EQ(
      Run(Script({"click 4", "expect-title \"Message settings (signed counter 16 bit)\"",
                  "expect-enabled" + Id(kLower) + " 0", "expect-enabled" + Id(kStep) + " 0", "ok", "ok"})),
      ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(std::memcmp(&Record(0), &before->Lcd.Messages[0], sizeof(Record(0))), 0);
}

TEST_F(MessageValueDialogs, OkWithoutChangesKeepsNumericRecordsButTheRewrittenBytes) {
  dx470::DefineMessage(Param(), 0, 9, 9, true, "Count");
  dx470::DefineMessage(Param(), 1, 6, 6, false, "Temperature");
  // Slot 0: value mode with scaling, an active alarm: kept byte for byte.
  Bytes(0)[94] |= 1;
  Bytes(0)[100] = 0xFD;
  Bytes(0)[103] = 2 | 20;  // signed, "greater or equal"
  SetFloat(0, 104, 1000);
  SetFloat(0, 108, -1000);
  SetFloat(0, 112, 10);
  SetFloat(0, 116, -10);
  SetFloat(0, 210, 1234.5f);
  SetFloat(0, 220, -5000);  // within the display range -10000..10000
  SetFloat(0, 224, 5000);
  SetFloat(0, 228, 100);
  // Slot 1: text mode with its ranges and a condition of bits 2 and 3.
  Bytes(1)[100] = 1;
  Bytes(1)[101] = 7;
  Bytes(1)[102] = 3;
  Bytes(1)[103] = 1 | 2 | 12;
  SetFloat(1, 104, 25.5f);
  SetFloat(1, 108, -3.25f);
  std::memcpy(Bytes(1) + 120, "Hot", 3);
  std::memcpy(Bytes(1) + 150, "Mild", 4);
  std::memcpy(Bytes(1) + 180, "Cold", 4);
  const auto before = std::make_unique<dx470::PARAM>(Param());
  EXPECT_EQ(Run("click 4\nexpect-text 1082 \"greater or equal\"\nok\nselect 201 1\nclick 4\n"
                "expect-text 1082 \"less than\"\nexpect-checked 1088 1\nok\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  // Text mode takes the type's number format (byte 100 = 0, digits 6 and
  // 2); bits 2 and 3 without bit 4 load as "less than", stored as bit 3.
  dx470::MELDUNGSPEZIFISCHE_PARAMETER& expected = before->Lcd.Messages[1];
  expected.TypeSpecific[0] = 0;
  expected.TypeSpecific[1] = 6;
  expected.TypeSpecific[2] = 2;
  expected.TypeSpecific[3] = 1 | 2 | 8;
  for (int slot = 0; slot < 2; ++slot)
    EXPECT_EQ(std::memcmp(&Record(slot), &before->Lcd.Messages[slot], sizeof(Record(slot))), 0) << slot;
}

TEST_F(MessageValueDialogs, SetDefaultAlsoResetsBothDisplayModeCopies) {
  dx470::DefineMessage(Param(), 0, 8, 8, false, "Count");
  const auto fresh = std::make_unique<dx470::MELDUNGSPEZIFISCHE_PARAMETER>(Record(0));
  Bytes(0)[103] |= 1;
  SetFloat(0, 104, 9);
  std::memcpy(Bytes(0) + 120, "Many", 4);
  EXPECT_EQ(Run("click 4\nexpect-checked 1088 1\nanswer yes\nclick 3\nexpect-checked 1086 1\nclick 1087\n"
                "expect-text 1106 \"0\"\ncancel\ncheck 1088 1\nclick 1089\nexpect-text 1124 \"0\"\ncancel\n"
                "check 1086 1\nok\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  std::memcpy(fresh->Text[0], "Text?", 5);  // the default text replaces the row
  std::memset(fresh->Text[0] + 5, 0, 25);
  EXPECT_EQ(std::memcmp(&Record(0), fresh.get(), sizeof(Record(0))), 0);
}

TEST_F(MessageValueDialogs, EachDialogOpensItsOwnHelpContext) {
  dx470::DefineMessage(Param(), 0, 4, 0, false, "Clock");
  dx470::DefineMessage(Param(), 1, 5, 0, false, "Today");
  dx470::DefineMessage(Param(), 2, 8, 8, false, "Count");
  EXPECT_EQ(
      Run("click 4\nclick 9\ncancel\nselect 201 1\nclick 4\nclick 9\ncancel\nselect 201 2\nclick 4\n"
          "click 9\nclick 1087\nclick 1117\ncancel\ncheck 1088 1\nclick 1089\nclick 1133\ncancel\ncancel\n"
          "cancel\n"),
      ui::IDCANCEL);
  EXPECT_TRUE(ok) << report;
  size_t at = 0;
  for (const char* context : {"#530", "#520", "#540", "#580", "#570"}) {
    at = report.find(context, at);
    EXPECT_NE(at, std::string::npos) << context << " in " << report;
  }
}

TEST(MessageFormats, ConditionsRangesAndExamples) {
  EXPECT_EQ(editor::ConditionIndex(4), 0);
  EXPECT_EQ(editor::ConditionIndex(20), 1);
  EXPECT_EQ(editor::ConditionIndex(16), 2);
  EXPECT_EQ(editor::ConditionIndex(8), 3);
  EXPECT_EQ(editor::ConditionIndex(24), 4);
  EXPECT_EQ(editor::ConditionIndex(0), 0);
  editor::ValueBytes bytes{};
  bytes[0] = uint8_t(-3);
  std::memcpy(&bytes[12], editor::EncodeFloat(4e37f).data(), 4);  // upper display value
  const editor::ValueBounds r = editor::AllowedRange(10, true, true, bytes);
  EXPECT_FLOAT_EQ(float(r.lower), 0.0f);
  EXPECT_FLOAT_EQ(float(r.upper), 3.4028235e38f);  // saturated, not infinite
  EXPECT_FLOAT_EQ(float(editor::AllowedRange(10, true, false, bytes).lower), -16500000.0f);
  EXPECT_EQ(editor::TimeExample(editor::kTime12Hours), "06 : 09 : 05");
  EXPECT_EQ(editor::DateExample(editor::kDateYearFirstDots), " 2004 . 01 . 05 ");
}

}  // namespace
