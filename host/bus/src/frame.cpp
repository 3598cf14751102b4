#include "bus/frame.h"

#include <cstdio>
#include <cstdlib>

namespace bus {

std::string AddressText(uint16_t address) {
  return std::to_string(address >> 12) + "." + std::to_string((address >> 8) & 0x0F) + "." +
         std::to_string(address & 0xFF);
}

bool ParseAddress(const std::string& text, uint16_t& address) {
  unsigned parts[3];
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
    unsigned v = 0;
    size_t digits = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4) {
      v = v * 10 + unsigned(text[at++] - '0');
      ++digits;
    }
    parts[i] = v;
    if (i < 2) {
      if (at >= text.size() || text[at] != '.') return false;
      ++at;
    }
  }
  if (at != text.size() || parts[0] > 15 || parts[1] > 15 || parts[2] > 255) return false;
  address = uint16_t(parts[0] << 12 | parts[1] << 8 | parts[2]);
  return true;
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string HexBytes(const uint8_t* data, size_t n) {
  std::string s;
  char two[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, i ? " %02x" : "%02x", data[i]);
    s += two;
  }
  return s;
}

}  // namespace bus
