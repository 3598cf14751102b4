// New messages through the types dialog and the settings dialogs of static
// texts, switches and texts, opened from the main dialog as a user does,
// with the records they store checked byte for byte.
#include "editor/message_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "data/dx470data.h"
#include "data/positions.h"
#include "editor/main_dialog.h"
#include "editor/message_types.h"
#include "script_run.h"
#include "ui/script.h"
#include "ui/services.h"

namespace {

namespace id = editor::id;

class MessageDialogs : public ::testing::Test {
 protected:
  dx470::PARAM& Param() { return data.Param(); }
  dx470::MELDUNGSPEZIFISCHE_PARAMETER& Record(int slot) { return Param().Lcd.Messages[slot]; }
  // Runs the main dialog with the registered dialogs and `script`.
  int Run(const std::string& script) {
    editor::DX470MainDialog dialog(data);
    testui::ScriptRun run = testui::RunScript(dialog, script);
    ok = run.ok;
    report = run.report;
    return run.result;
  }

  CDX470Data data;
  bool ok = false;
  std::string report;
};

TEST_F(MessageDialogs, TheSendTypesFollowTheReceiveType) {
  using D = editor::MessageTypesDialog;
  EXPECT_EQ(D::SendTypesFor(1), (std::vector<uint8_t>{0, 2, 11, 12}));
  EXPECT_EQ(D::SendTypesFor(4), (std::vector<uint8_t>{0}));
  EXPECT_EQ(D::SendTypesFor(5), (std::vector<uint8_t>{0}));
  EXPECT_EQ(D::SendTypesFor(9), (std::vector<uint8_t>{0, 9}));
  EXPECT_EQ(Run(R"S(
click 3
expect-dialog 209
expect-text 1002 "switch On/Off"
expect-items 1005 "unused" "switch On/Off"
expect-text 1005 "switch On/Off"
expect-visible 1003 0
select-text 1002 "static text"
expect-items 1005 "unused" "switch On/Off" "character" "text (14 characters)"
expect-text 1005 "switch On/Off"
select-text 1002 "time"
expect-items 1005 "unused"
expect-text 1005 "unused"
select-text 1002 "counter 16 bit"
expect-visible 1003 1
cancel
cancel
)S"),
            ui::IDCANCEL);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Param().MessageKind[0], 0);
}

TEST_F(MessageDialogs, ANewSignedCounterGetsItsDefaultRecord) {
  EXPECT_EQ(
      Run("click 3\nselect-text 1002 \"counter 16 bit\"\ncheck 1003 1\nok\nexpect-dialog 222\nok\nok\n"),
      ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Param().MessageKind[0], 9);
  EXPECT_EQ(Param().MessageType[0], 9);
  const uint8_t* b = reinterpret_cast<const uint8_t*>(&Record(0));
  EXPECT_EQ(b[0], 1);    // shown first
  EXPECT_EQ(b[101], 5);  // integer digits
  EXPECT_EQ(b[103], 6);  // signed values, and the display mode bits of the default
  // Send limits -32768, 32767 and step 13107 as big-endian floats.
  const uint8_t lower[] = {0xC7, 0x00, 0x00, 0x00}, upper[] = {0x46, 0xFF, 0xFE, 0x00},
                step[] = {0x46, 0x4C, 0xCC, 0x00};
  EXPECT_EQ(std::memcmp(b + 220, lower, 4), 0);
  EXPECT_EQ(std::memcmp(b + 224, upper, 4), 0);
  EXPECT_EQ(std::memcmp(b + 228, step, 4), 0);
}

TEST_F(MessageDialogs, NewStaticTextSendingASwitchOpensItsSettingsAndNeverOffersTheValueMarker) {
  EXPECT_EQ(Run(R"S(
click 3
select-text 1002 "static text"
ok
expect-dialog 221
expect-title "Message settings (static text)"
expect-enabled 7 0
expect-visible 1055 0
expect-text 1047 "only \"1\""
text 1010 "Hi"
expect-enabled 7 0
expect-enabled 6 1
click 6
expect-enabled 6 0
ok
ok
)S"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Param().MessageKind[0], 1);
  EXPECT_EQ(Param().MessageType[0], 2);
  // Typing replaced the selected default text; the tab went in behind it.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Record(0).Text[0])), "Hi\x01");
  uint32_t binary = 0;
  std::memcpy(&binary, Record(0).SendData, 4);
  EXPECT_EQ(binary, 1u);
}

TEST_F(MessageDialogs, OptionBitsAreStoredAsTheyAreMeant) {
  dx470::DefineMessage(Param(), 0, 2, 2, false, "Lamp");
  // "with alarm beep" alone stores nothing; Polling is bit 6 only.
  EXPECT_EQ(
      Run("click 4\nexpect-dialog 210\ncheck 1030 1\ncheck 1031 1\ncheck 1030 0\nselect 1027 2\nok\nok\n"),
      ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Record(0).Options, editor::kOptionPolling);
  // The beep was not kept without the alarm.
  EXPECT_EQ(Run("click 4\nselect 1027 1\ncheck 1030 1\nexpect-checked 1031 0\ncheck 1031 1\nok\nok\n"),
            ui::IDOK);
  EXPECT_EQ(Record(0).Options, editor::kOptionAfterReset | editor::kOptionAlarm | editor::kOptionBeep);
  EXPECT_EQ(Run("click 4\nselect 1027 0\ncheck 1030 0\nok\nok\n"), ui::IDOK);
  EXPECT_EQ(Record(0).Options, 0);
}

TEST_F(MessageDialogs, AlarmOnlyWithScrollingAsksAndNoKeepsTheDialogOpen) {
  dx470::DefineMessage(Param(), 0, 2, 2, false, "Lamp");
  const std::string question =
      "A message visible on alarm only, with the scroll message parameter set to YES is not possible!\\n "
      "\\nSet the Scroll message parameter to NO?";
  EXPECT_EQ(Run("click 4\ncheck 1030 1\ncheck 1032 1\nselect 1025 0\nanswer no\nok\nexpect-dialog 210\n"
                "expect-text 1025 \"Yes\"\nanswer yes\nok\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_NE(report.find("box: Warning: " + question + " -> no\n"), std::string::npos) << report;
  EXPECT_EQ(Record(0).Options, editor::kOptionAlarm | editor::kOptionAlarmOnly | editor::kOptionAfterReset);
}

TEST_F(MessageDialogs, OkWithoutChangesLeavesTheRecordAsItWas) {
  dx470::DefineMessage(Param(), 0, 2, 2, false, "Lamp");
  dx470::DefineMessage(Param(), 1, 1, 12, false, "Hello");
  dx470::DefineMessage(Param(), 2, 12, 12, false, "Name");
  std::memcpy(Record(0).TypeSpecific, "On", 2);
  std::memcpy(Record(1).SendData, "Send me", 7);
  const auto before = std::make_unique<dx470::PARAM>(Param());
  EXPECT_EQ(
      Run("click 4\nexpect-dialog 210\nok\nselect 201 1\nclick 4\nexpect-dialog 221\nexpect-visible 1055 1\n"
          "ok\nselect 201 2\nclick 4\nexpect-dialog 219\nok\nok\n"),
      ui::IDOK);
  EXPECT_TRUE(ok) << report;
  for (int slot = 0; slot < 3; ++slot)
    EXPECT_EQ(std::memcmp(&Record(slot), &before->Lcd.Messages[slot], sizeof(Record(slot))), 0) << slot;
}

TEST_F(MessageDialogs, TextMessageSendTextAndItsCharacterButton) {
  dx470::DefineMessage(Param(), 0, 11, 11, false, "Char");
  EXPECT_EQ(Run(R"S(
click 4
expect-dialog 219
expect-enabled 357 0
focus 1055
expect-enabled 357 1
text 1055 "A"
expect-enabled 357 0
focus 1010
expect-enabled 357 0
ok
ok
)S"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Record(0).SendData[0], 'A');
  EXPECT_EQ(Record(0).SendData[1], 0);
}

}  // namespace
