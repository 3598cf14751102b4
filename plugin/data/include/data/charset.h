#pragma once
// The display's character codes: the fonts hold the Windows Western signs,
// so code 0x80..0x9F is that code page's and every other code its Latin-1
// character.
#include <cstdint>
#include <string>
#include <string_view>

namespace dx470 {

uint32_t DeviceCodeToUnicode(int code);

// Device codes as UTF-8 text for a terminal or a report; codes without a
// visible character (controls, the code page's gaps) become `replacement`.
std::string DeviceTextToUtf8(std::string_view codes, char replacement = '.');

}  // namespace dx470
