#pragma once
// UTF-16 (OLECHAR) strings and their conversion to and from UTF-8, which is
// this platform's "ANSI code page".
#include <cstdarg>
#include <string>
#include <string_view>

#include "base/export.h"
#include "base/types.h"

namespace base {

using u16string = std::u16string;

// Length of a zero-terminated UTF-16 string (0 for null).
RT_API size_t U16Length(const char16_t* s);

// UTF-8 → UTF-16. Invalid sequences become U+FFFD.
RT_API std::u16string Utf8ToUtf16(std::string_view s);
// UTF-16 → UTF-8. Unpaired surrogates become U+FFFD.
RT_API std::string Utf16ToUtf8(std::u16string_view s);
inline std::string Utf16ToUtf8(const char16_t* s) {
  return s ? Utf16ToUtf8(std::u16string_view(s)) : std::string();
}

// printf-style formatting into a std::string (no length limit).
RT_API std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
RT_API std::string FormatV(const char* fmt, va_list args);

// Case-insensitive ASCII comparison, as Windows compares key names.
RT_API bool EqualsNoCase(std::string_view a, std::string_view b);
RT_API std::string ToLowerAscii(std::string_view s);

}  // namespace base
