#include "data/positions.h"

#include <algorithm>

#include "data/defaults.h"

namespace dx470 {
namespace {

bool ValidSlot(int slot) { return slot >= 0 && slot < kSlotCount; }

uint8_t& PositionOf(PARAM& param, int slot) { return param.Lcd.Messages[slot].Position; }

// Every position above `position` moves down by one.
void CloseGap(PARAM& param, uint8_t position) {
  for (MELDUNGSPEZIFISCHE_PARAMETER& m : param.Lcd.Messages)
    if (m.Position > position) --m.Position;
}

}  // namespace

int ShownMessageCount(const PARAM& param) {
  return static_cast<int>(std::count_if(std::begin(param.Lcd.Messages), std::end(param.Lcd.Messages),
                                        [](const auto& m) { return m.Position != 0; }));
}

int DefinedMessageCount(const PARAM& param) {
  return static_cast<int>(std::count_if(std::begin(param.MessageKind), std::end(param.MessageKind),
                                        [](uint8_t kind) { return kind != 0; }));
}

std::array<int, kSlotCount> SlotsInDisplayOrder(const PARAM& param) {
  std::array<int, kSlotCount> order;
  for (int i = 0; i < kSlotCount; ++i) order[i] = i;
  // Group 0: shown, by position; group 1: defined but hidden; group 2: empty.
  auto key = [&](int slot) {
    const int position = param.Lcd.Messages[slot].Position;
    const int group = position != 0 ? 0 : param.MessageKind[slot] != 0 ? 1 : 2;
    return std::pair(group, group == 0 ? position : 0);
  };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
  return order;
}

int SlotAtRow(const PARAM& param, int row) {
  return row >= 0 && row < kSlotCount ? SlotsInDisplayOrder(param)[row] : -1;
}

int RowOfSlot(const PARAM& param, int slot) {
  if (!ValidSlot(slot)) return -1;
  const auto order = SlotsInDisplayOrder(param);
  return static_cast<int>(std::find(order.begin(), order.end(), slot) - order.begin());
}

int FirstFreeSlot(const PARAM& param) {
  for (int i = 0; i < kSlotCount; ++i)
    if (param.Lcd.Messages[i].Position == 0 && param.MessageKind[i] == 0) return i;
  return -1;
}

void SwitchMessageOff(PARAM& param, int slot) {
  if (!ValidSlot(slot)) return;
  const uint8_t position = PositionOf(param, slot);
  if (position == 0) return;
  PositionOf(param, slot) = 0;
  CloseGap(param, position);
}

bool SwitchMessageOn(PARAM& param, int slot) {
  if (!ValidSlot(slot)) return false;
  if (PositionOf(param, slot) != 0) return true;
  if (param.MessageKind[slot] == 0) return false;
  PositionOf(param, slot) = static_cast<uint8_t>(ShownMessageCount(param) + 1);
  return true;
}

void DefineMessage(PARAM& param, int slot, uint8_t receive, uint8_t send, bool signedValues,
                   std::string_view defaultText) {
  if (!ValidSlot(slot)) return;
  param.MessageKind[slot] = receive;
  param.MessageType[slot] = send;
  if (PositionOf(param, slot) == 0)
    PositionOf(param, slot) = static_cast<uint8_t>(ShownMessageCount(param) + 1);
  ResetMessage(param.Lcd.Messages[slot], receive, send, signedValues, defaultText);
}

void DeleteMessage(PARAM& param, int slot, std::string_view defaultText) {
  if (!ValidSlot(slot) || param.MessageKind[slot] == 0) return;
  param.MessageKind[slot] = 0;
  param.MessageType[slot] = 0;
  SwitchMessageOff(param, slot);
  ResetMessage(param.Lcd.Messages[slot], 0, 0, false, defaultText);
}

void SwapDisplayPositions(PARAM& param, int slotA, int slotB) {
  if (!ValidSlot(slotA) || !ValidSlot(slotB)) return;
  std::swap(PositionOf(param, slotA), PositionOf(param, slotB));
}

int MoveMessage(PARAM& param, int slot, bool up) {
  if (!ValidSlot(slot) || PositionOf(param, slot) == 0) return -1;
  const int shown = ShownMessageCount(param);
  const int position = PositionOf(param, slot);
  int target = up ? position - 1 : position + 1;
  if (target < 1) target = shown;
  if (target > shown) target = 1;
  for (int other = 0; other < kSlotCount; ++other)
    if (other != slot && PositionOf(param, other) == target) {
      SwapDisplayPositions(param, slot, other);
      break;
    }
  return RowOfSlot(param, slot);
}

}  // namespace dx470
