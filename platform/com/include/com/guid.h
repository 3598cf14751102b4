#pragma once
// GUIDs in the Windows layout (Data1..Data3 little-endian on this platform),
// parsed at compile time from their text form.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "base/export.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}

namespace com::detail {
constexpr int HexDigit(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}
// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", with or without braces.
constexpr std::optional<GUID> ParseGuidText(std::string_view s) {
  if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
  if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return std::nullopt;
  uint8_t b[16] = {};
  size_t pos = 0;
  for (int i = 0; i < 16; ++i) {
    if (s[pos] == '-') ++pos;
    int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    b[i] = uint8_t(hi << 4 | lo);
    pos += 2;
  }
  GUID g{uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3],
         uint16_t(b[4] << 8 | b[5]),
         uint16_t(b[6] << 8 | b[7]),
         {b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]}};
  return g;
}
}  // namespace com::detail

// A GUID literal: constexpr GUID g = MakeGuid("0000...-...");
consteval GUID MakeGuid(const char* text) {
  std::string_view s(text);
  auto g = com::detail::ParseGuidText(s);
  if (!g) throw "malformed GUID literal";
  return *g;
}

constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace com {
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as the registry holds it.
RT_API std::string GuidToString(const GUID& g);
// Runtime parse, braces optional.
inline std::optional<GUID> ParseGuid(std::string_view s) { return detail::ParseGuidText(s); }
}  // namespace com

// Compile-time identifier of an interface type.
template <class T>
constexpr const IID& IidOf() {
  return T::iid;
}
