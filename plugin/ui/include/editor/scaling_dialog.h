#pragma once
// ScalingDialog ("Modify display values"): object values mapped to display
// values, and the multiplier and digits of the floating point presentation
// of a numeric message. TextRangesDialog ("Define ranges for textual
// display"): two limiting values and the texts shown below, between and
// above them. Both edit a private copy of the caller's format bytes and
// write it back on OK only.
#include "editor/message_formats.h"
#include "editor/message_text_edit.h"
#include "editor/numeric_value.h"
#include "ui/dialog.h"

namespace editor {

namespace id {
constexpr int kScalingTemplate = 215, kScalingHelpContext = 580;
constexpr int kTextRangesTemplate = 223, kTextRangesHelpContext = 570;
}  // namespace id

class ScalingDialog : public ui::Dialog {
 public:
  static constexpr int kScalingGroup = 1100, kLowerObjectLabel = 1101, kLowerObject = 1102,
                       kLowerDisplayLabel = 1103, kLowerDisplay = 1104, kUpperObjectLabel = 1105,
                       kUpperObject = 1106, kUpperDisplayLabel = 1107, kUpperDisplay = 1108,
                       kPresentationGroup = 1109, kMultiplierLabel = 1110, kMultiplier = 1111,
                       kIntegerLabel = 1112, kInteger = 1113, kDecimalLabel = 1114, kDecimal = 1115,
                       kSetDefaults = 1116, kHelp = 1117;

  ScalingDialog(uint8_t receiveType, bool signedValues, ValueBytes& bytes);

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnOK() override;
  void OnHelp() override;

 private:
  void Load();
  void OnSetDefaults();
  bool CheckDisplayValues();

  uint8_t m_receiveType;
  bool m_bSigned;
  ValueBytes& m_target;
  ValueBytes m_bytes;
  NumericEdit m_lowerObject, m_upperObject, m_lowerDisplay, m_upperDisplay;
};

class TextRangesDialog : public ui::Dialog {
 public:
  static constexpr int kLimitsGroup = 1120, kLowerLimitLabel = 1121, kLowerLimit = 1122,
                       kUpperLimitLabel = 1123, kUpperLimit = 1124, kTextGroup = 1125, kLowerTextLabel = 1126,
                       kLowerText = 1127, kMediumTextLabel = 1128, kMediumText = 1129, kUpperTextLabel = 1130,
                       kUpperText = 1131, kGetCharacter = 1132, kHelp = 1133;

  TextRangesDialog(uint8_t receiveType, bool signedValues, ValueBytes& bytes, const dx470::ZEICHENSATZ* font,
                   int fontIndex);

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnNotify(int id, int code, intptr_t param) override;
  void OnOK() override;
  void OnHelp() override;

 private:
  CMessageTextEdit* RangeEditor(int id);

  uint8_t m_receiveType;
  bool m_bSigned;
  ValueBytes& m_target;
  ValueBytes m_bytes;
  NumericEdit m_lowerLimit, m_upperLimit;
  CMessageTextEdit m_lowerText, m_mediumText, m_upperText;
  CMessageTextEdit* m_pLastEditor = nullptr;
};

}  // namespace editor
