#pragma once
// Display positions of the message slots (record byte 0): 1..n for the n
// messages shown, 0 for the others, kept free of gaps.
#include <array>
#include <string_view>

#include "data/records.h"

namespace dx470 {

// Number of messages shown (nonzero display position).
int ShownMessageCount(const PARAM& param);
// Number of slots with a receive type.
int DefinedMessageCount(const PARAM& param);

// The 16 slots in list order: shown messages by display position, then the
// defined messages not shown, then the empty slots, each by slot number.
std::array<int, kSlotCount> SlotsInDisplayOrder(const PARAM& param);
// Slot at a list row, or -1 for a row outside 0..15.
int SlotAtRow(const PARAM& param, int row);
// List row of a slot, or -1 for a slot outside 0..15.
int RowOfSlot(const PARAM& param, int slot);

// First slot that is neither shown nor defined, or -1.
int FirstFreeSlot(const PARAM& param);

// Hides a shown message; the positions above it move down by one.
void SwitchMessageOff(PARAM& param, int slot);
// Shows a defined, hidden message after the last shown one. An empty slot
// is left alone. Answers whether the message is shown afterwards.
bool SwitchMessageOn(PARAM& param, int slot);

// Gives a slot its types, a default record and the position after the last
// shown message.
void DefineMessage(PARAM& param, int slot, uint8_t receive, uint8_t send, bool signedValues,
                   std::string_view defaultText);

// Empties a defined slot: both types 0, default record of type 0, hidden;
// the positions above it move down by one.
void DeleteMessage(PARAM& param, int slot, std::string_view defaultText);

// Exchanges the display positions of two slots.
void SwapDisplayPositions(PARAM& param, int slotA, int slotB);

// Moves a shown message one place up or down by exchanging positions with
// its neighbour; the first moved up changes places with the last, the last
// moved down with the first. Answers the slot's new row, or -1 when the
// slot is not shown.
int MoveMessage(PARAM& param, int slot, bool up);

}  // namespace dx470
