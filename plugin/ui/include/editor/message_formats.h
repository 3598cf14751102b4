#pragma once
// The settings dialogs of time, date and numeric messages, their format
// bits and the examples and value ranges they show or enforce.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "editor/message_settings.h"

namespace editor {

std::unique_ptr<MessageSettingsDialog> MakeTimeMessageDialog();
std::unique_ptr<MessageSettingsDialog> MakeDateMessageDialog();
std::unique_ptr<MessageSettingsDialog> MakeValueMessageDialog();

// Time format bits of record byte 100.
constexpr uint8_t kTimeNoZeroSeconds = 0x01, kTimeNoZeroMinutes = 0x02, kTimeNoZeroHours = 0x04,
                  kTime12Hours = 0x08, kTimeAmPm = 0x10;
// Date format bits of record byte 100.
constexpr uint8_t kDateNoZeroDay = 0x01, kDateNoZeroMonth = 0x02, kDateTwoDigitYear = 0x04,
                  kDateYearFirstDots = 0x08, kDateYearFirstSlashes = 0x10;

// What 18:09:05 and 5 January 2004 look like in a format.
std::string TimeExample(uint8_t bits);
std::string DateExample(uint8_t bits);

// Record bytes 100..209 of a numeric message: the format bytes and the
// scaling or textual-range block (index = record offset - 100).
using ValueBytes = std::array<uint8_t, 110>;
constexpr size_t kValueByteBase = 100;

// Alarm condition bits (record byte 103, bits 2..4) in the combo's order.
constexpr uint8_t kConditionMask = 0x1C;
constexpr std::array<uint8_t, 5> kConditionBits = {4, 20, 16, 8, 24};
int ConditionIndex(uint8_t flags);

struct ValueBounds {
  double lower = 0, upper = 0;
};
// What the alarm value, the send limits and the step width may be for a
// receive type, its signed flag and the "Value" copy of the format bytes
// (scaling and exponent count only when `valueMode`).
ValueBounds AllowedRange(uint8_t receiveType, bool signedValues, bool valueMode, const ValueBytes& valueCopy);

// printf's "%W.Pf" in the "C" locale.
std::string FormatFixed(double value, int width, int precision);
// "Please enter a value between" LOWER "and" UPPER "!", the bounds with
// `precision` decimals in a field of `width`.
std::string BetweenMessage(double lower, double upper, int width, int precision);

// An error box (title "Error", stop icon, task-modal); then the field gets
// the focus with its text selected.
void RefuseField(ui::Dialog& dialog, const std::string& text, int fieldId);

}  // namespace editor
