#include "data/charset.h"

#include "base/strings.h"

namespace dx470 {

uint32_t DeviceCodeToUnicode(int code) {
  static const uint16_t k80[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  return code >= 0x80 && code < 0xA0 ? k80[code - 0x80] : uint32_t(code & 0xFF);
}

std::string DeviceTextToUtf8(std::string_view codes, char replacement) {
  std::u16string text;
  for (char c : codes) {
    const uint32_t u = DeviceCodeToUnicode(static_cast<uint8_t>(c));
    const bool control = u < 0x20 || (u >= 0x7F && u < 0xA0);
    text.push_back(control ? char16_t(replacement) : char16_t(u));
  }
  return base::Utf16ToUtf8(text);
}

}  // namespace dx470
