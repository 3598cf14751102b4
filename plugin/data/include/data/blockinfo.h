#pragma once
// Block information of the LCD image: identifier, message count, part
// offsets and the checksums that tell whether the device holds this data.
#include <cstddef>
#include <cstdint>

#include "data/records.h"

namespace dx470 {

// Recomputes block bytes 0..5 and 12..15 from `param` (the font offsets and
// font checksum belong to the image build).
void UpdateBlockInformation(PARAM& param);

// Checks the three checksums of a device image buffer (34 leading PARAM
// bytes, then the LCD image) of n bytes against its block information.
// Offsets that point outside the buffer make it fail.
bool CheckBlockInformation(const uint8_t* buffer, size_t n);

}  // namespace dx470
