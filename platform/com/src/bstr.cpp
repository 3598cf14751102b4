#include "com/bstr.h"

#include <cstring>

#include "base/strings.h"
#include "com/memory.h"

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
constexpr size_t kTerminator = sizeof(OLECHAR);
// Largest byte length whose block size still fits the uint32 prefix's range.
constexpr size_t kMaxBytes = 0xFFFFFFFFu - kPrefix - kTerminator;

uint32_t* Header(BSTR b) { return reinterpret_cast<uint32_t*>(b) - 1; }

// A BSTR of `bytes` bytes copied from src (zero-filled when src is null),
// followed by two zero bytes.
BSTR Allocate(const void* src, size_t bytes) {
  if (bytes > kMaxBytes) return nullptr;
  auto* block = static_cast<char*>(CoTaskMemAlloc(kPrefix + bytes + kTerminator));
  if (!block) return nullptr;
  uint32_t len = uint32_t(bytes);
  std::memcpy(block, &len, kPrefix);
  if (src) {
    std::memcpy(block + kPrefix, src, bytes);
  } else {
    std::memset(block + kPrefix, 0, bytes);
  }
  block[kPrefix + bytes] = 0;
  block[kPrefix + bytes + 1] = 0;
  return reinterpret_cast<BSTR>(block + kPrefix);
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  return Allocate(psz, base::U16Length(psz) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* psz, UINT len) { return Allocate(psz, size_t(len) * sizeof(OLECHAR)); }

BSTR SysAllocStringByteLen(const char* psz, UINT len) { return Allocate(psz, len); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  return SysReAllocStringLen(pbstr, psz, UINT(base::U16Length(psz)));
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (!pbstr) return FALSE;
  // Allocate first: psz may point into the old string.
  BSTR b = SysAllocStringLen(psz, len);
  if (!b) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = b;
  return TRUE;
}

void SysFreeString(BSTR bstr) {
  if (bstr) CoTaskMemFree(Header(bstr));
}

UINT SysStringByteLen(BSTR bstr) {
  if (!bstr) return 0;
  uint32_t len;
  std::memcpy(&len, Header(bstr), sizeof len);
  return len;
}

UINT SysStringLen(BSTR bstr) { return SysStringByteLen(bstr) / sizeof(OLECHAR); }

namespace com {

Bstr::Bstr(std::u16string_view s)
    : b_(s.size() <= kMaxBytes / sizeof(OLECHAR) ? SysAllocStringLen(s.data(), UINT(s.size())) : nullptr) {}

Bstr Bstr::FromUtf8(std::string_view s) { return Bstr(base::Utf8ToUtf16(s)); }

std::string Bstr::ToUtf8() const { return base::Utf16ToUtf8(View()); }

}  // namespace com
