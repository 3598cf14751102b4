#pragma once
// CGeneralParamDialog: the device-wide settings in ALLGEMEINE (alarm
// flashing and beeping, backlight, keys, scrolling, object value timing).
// Every time is chosen from a fixed list and stored as one EncodeTime byte.
// OK writes into PARAM; Cancel leaves it untouched.
#include <array>
#include <cstdint>

#include "data/records.h"
#include "ui/dialog.h"

namespace editor {

namespace id {
constexpr int kGeneralParamTemplate = 203, kGeneralParamHelpContext = 300;
}  // namespace id

// Times in tenths of a second; 57000 (byte 255) stands for "forever".
constexpr int32_t kTimeForever = 57000;
uint8_t EncodeTime(int32_t tenths);
int32_t DecodeTime(uint8_t code);

// Bytes of ALLGEMEINE that the dialog edits.
namespace general {
constexpr int kFlashInterval = 0, kBeepDuration = 1, kBeepInterval = 2, kFlags = 3, kBacklight = 4,
              kResetDelay = 5, kRequestDelay = 6, kPollInterval = 7, kScrollStart = 8, kScrollInterval = 9;
// Bits of the flag byte.
constexpr uint8_t kFlagRepeatAlarm = 0x01, kFlagBeepContinuous = 0x02, kFlagToggle = 0x04,
                  kFlagKeyBeep = 0x08, kFlagKeysAnyTime = 0x10;
}  // namespace general

class CGeneralParamDialog : public ui::Dialog {
 public:
  // Controls.
  static constexpr int kGroupAddr = 3, kHelp = 9;
  static constexpr int kKeysGroup = 233, kBacklightGroup = 234, kAlarmGroup = 235, kScrollGroup = 236,
                       kTimingGroup = 237;
  static constexpr int kKeysOnlyLit = 241, kKeysOnlyLitLine2 = 249;
  static constexpr int kAlwaysOn = 250, kAlwaysOff = 251, kOnKeyPressed = 252;
  static constexpr int kFlashCombo = 253, kRepeatCombo = 254, kBeepCombo = 255, kDurationCombo = 256,
                       kKeyBeepCombo = 257, kSwitchModeCombo = 258, kScrollStartCombo = 259,
                       kScrollIntervalCombo = 260, kResetDelayCombo = 261, kRequestDelayCombo = 262,
                       kPollCombo = 263, kPowerOnCombo = 264, kPowerOnLabel = 265;
  // Backlight radio values.
  static constexpr int kBacklightAlwaysOn = 0, kBacklightAlwaysOff = 1, kBacklightOnKey = 2;
  static constexpr int kComboCount = 12;

  explicit CGeneralParamDialog(dx470::PARAM& param);
  static ui::DialogTemplate MakeTemplate();

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnOK() override;
  void OnHelp() override;
  void DoDataExchange(ui::DataExchange& dx) override;

 private:
  void TranslateTexts();
  void FillLists();
  void LoadFromParam();
  void StoreToParam();
  void ApplyBacklightRule();
  void SelectValue(int combo, int32_t tenths);
  // Stores the selected item's time into `byte`; no selection keeps it.
  void StoreTime(int combo, uint8_t& byte) const;
  int& Selection(int combo);
  int Selection(int combo) const;

  dx470::PARAM* m_pParam;
  // Selected index of each list (253..264), bound by data exchange.
  std::array<int, kComboCount> m_anSelection{};
  int m_nBacklight = kBacklightOnKey;
  int m_nKeysOnlyLit = ui::BST_UNCHECKED;
};

// Runs the dialog on `param`; the dialog's result.
int RunGeneralParamDialog(dx470::PARAM& param);

}  // namespace editor
