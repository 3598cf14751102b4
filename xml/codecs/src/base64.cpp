// Base64 text of byte arrays.
#include "xmlweave/codecs.h"

namespace xmlweave {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct DecodeTable {
  int8_t value[256];
  constexpr DecodeTable() : value() {
    for (int i = 0; i < 256; ++i) value[i] = -1;
    for (int i = 0; i < 64; ++i) value[static_cast<unsigned char>(kAlphabet[i])] = int8_t(i);
  }
};
constexpr DecodeTable kDecode;

}  // namespace

HRESULT PrepareByteForString(size_t count, const uint8_t* bytes, std::string& out) {
  out.clear();
  if (count == 0 || !bytes) return E_INVALIDARG;
  if (count / 3 >= (size_t(UINT32_MAX) - 4) / 4) return E_INVALIDARG;  // text beyond 32 bits
  out.resize((count + 2) / 3 * 4);
  char* o = out.data();
  size_t i = 0;
  for (; i + 3 <= count; i += 3) {
    uint32_t v = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
    *o++ = kAlphabet[v >> 18];
    *o++ = kAlphabet[(v >> 12) & 63];
    *o++ = kAlphabet[(v >> 6) & 63];
    *o++ = kAlphabet[v & 63];
  }
  if (size_t rest = count - i) {
    uint32_t v = uint32_t(bytes[i]) << 16 | (rest == 2 ? uint32_t(bytes[i + 1]) << 8 : 0);
    *o++ = kAlphabet[v >> 18];
    *o++ = kAlphabet[(v >> 12) & 63];
    *o++ = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    *o++ = '=';
  }
  return S_OK;
}

HRESULT Base64StringToByte(std::string_view text, std::vector<uint8_t>& out) {
  out.clear();
  if (text.empty()) return E_INVALIDARG;
  size_t n = text.find('=');
  if (n == std::string_view::npos) n = text.size();
  if (n / 4 * 3 + 2 > size_t(UINT32_MAX)) return E_INVALIDARG;
  out.resize(n / 4 * 3 + 2);
  uint8_t* o = out.data();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    int a = kDecode.value[p[i]], b = kDecode.value[p[i + 1]];
    int c = kDecode.value[p[i + 2]], d = kDecode.value[p[i + 3]];
    if ((a | b | c | d) < 0) return E_INVALIDARG;
    uint32_t v = uint32_t(a) << 18 | uint32_t(b) << 12 | uint32_t(c) << 6 | uint32_t(d);
    *o++ = uint8_t(v >> 16);
    *o++ = uint8_t(v >> 8);
    *o++ = uint8_t(v);
  }
  // A last group of two or three characters (before '=' or unpadded) still
  // carries one or two bytes; a single character carries none.
  size_t rest = n - i;
  uint32_t v = 0;
  for (size_t k = 0; k < rest; ++k) {
    int d = kDecode.value[p[i + k]];
    if (d < 0) return E_INVALIDARG;
    v |= uint32_t(d) << (18 - 6 * k);
  }
  if (rest >= 2) *o++ = uint8_t(v >> 16);
  if (rest == 3) *o++ = uint8_t(v >> 8);
  out.resize(size_t(o - out.data()));
  return S_OK;
}

}  // namespace xmlweave
