#pragma once
// Reading and writing multi-byte values at byte offsets, in either order.
#include <cstdint>
#include <cstring>

namespace base {

inline uint16_t ReadBE16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint16_t ReadLE16(const uint8_t* p) { return uint16_t(p[1] << 8 | p[0]); }
inline uint32_t ReadBE32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint32_t ReadLE32(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
inline void WriteBE16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}
inline void WriteLE16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void WriteBE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}
inline void WriteLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
// IEEE single precision, most significant byte first.
inline float ReadBEFloat(const uint8_t* p) {
  uint32_t u = ReadBE32(p);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}
inline void WriteBEFloat(uint8_t* p, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  WriteBE32(p, u);
}

}  // namespace base
