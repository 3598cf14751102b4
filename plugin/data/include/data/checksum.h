#pragma once
// The checksum used by the block information and by font files.
#include <cstddef>
#include <cstdint>

namespace dx470 {

// Fletcher-16: two running sums modulo 255; the result is sum2 * 256 + sum1.
// An empty range gives 0.
uint16_t Fletcher16(const uint8_t* data, size_t size);

}  // namespace dx470
