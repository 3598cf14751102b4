#pragma once
// Physical device addresses (area.line.device) and group addresses
// (main/middle/sub, kept as one 16-bit number).
#include <cstdint>
#include <string>
#include <string_view>

#include "base/hresult.h"

namespace host {

struct PhysicalAddress {
  int area = 0;    // 0..15
  int line = 0;    // 0..15
  int device = 0;  // 0..255
  std::string ToString() const;
  bool operator==(const PhysicalAddress&) const = default;
};

// "1.2.3" → {1, 2, 3}; false for anything else or a part out of range.
bool ParsePhysicalAddress(std::string_view text, PhysicalAddress* out);

// "1/2/3" (main 0..31, middle 0..7, sub 0..255) → (main << 11) | (middle << 8) | sub.
bool ParseGroupAddress(std::string_view text, uint16_t* out);
// 0x0A03 → "1/2/3".
std::string GroupAddressText(uint16_t address);

// Expands a group-address format text: "$(GroupAddress...)" gives
// main/middle/sub, "$(Name...)" the group address's name, "$(Number...)" the
// address as a decimal number (the part after a comma is ignored); other text
// is copied. An empty format gives main/middle/sub. E_INVALIDARG for an
// unknown or unterminated "$(".
HRESULT FormatGroupAddress(uint16_t address, const std::string& name, std::u16string_view format,
                           std::u16string* out);

}  // namespace host
