#include "data/checksum.h"

namespace dx470 {

uint16_t Fletcher16(const uint8_t* data, size_t size) {
  uint32_t sum1 = 0, sum2 = 0;
  for (size_t i = 0; i < size; ++i) {
    sum1 += data[i];
    if (sum1 >= 255) sum1 -= 255;
    sum2 += sum1;
    if (sum2 >= 255) sum2 -= 255;
  }
  return static_cast<uint16_t>(sum2 << 8 | sum1);
}

}  // namespace dx470
