#pragma once
// BSTR: a counted UTF-16 string from the task allocator. The 4 bytes before
// the characters hold the length in bytes (uint32); two zero bytes follow the
// characters. A null BSTR stands for the empty string.
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "base/export.h"
#include "base/types.h"

using BSTR = OLECHAR*;

// Copy of a zero-terminated string; null for a null source.
RT_API BSTR SysAllocString(const OLECHAR* psz);
// String of len characters copied from psz, or zero-filled when psz is null.
RT_API BSTR SysAllocStringLen(const OLECHAR* psz, UINT len);
// String of len bytes copied from psz (zero-filled when psz is null); the
// byte length may be odd.
RT_API BSTR SysAllocStringByteLen(const char* psz, UINT len);
// Replace *pbstr by a copy of psz (which may point into *pbstr). TRUE on
// success; on failure *pbstr is unchanged.
RT_API INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
RT_API INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
RT_API void SysFreeString(BSTR bstr);
// Length in characters (byte length / 2); 0 for null.
RT_API UINT SysStringLen(BSTR bstr);
RT_API UINT SysStringByteLen(BSTR bstr);

namespace com {

// Owner of one BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const OLECHAR* s) : b_(SysAllocString(s)) {}
  RT_API explicit Bstr(std::u16string_view s);
  Bstr(const Bstr& o) : b_(o.Copy()) {}
  Bstr(Bstr&& o) noexcept : b_(o.Detach()) {}
  Bstr& operator=(const Bstr& o) {
    if (this != std::addressof(o)) Attach(o.Copy());
    return *this;
  }
  Bstr& operator=(Bstr&& o) noexcept {
    if (this != std::addressof(o)) Attach(o.Detach());
    return *this;
  }
  ~Bstr() { SysFreeString(b_); }

  RT_API static Bstr FromUtf8(std::string_view s);
  RT_API std::string ToUtf8() const;
  std::u16string_view View() const { return {b_ ? b_ : u"", Length()}; }

  BSTR Get() const { return b_; }
  UINT Length() const { return SysStringLen(b_); }
  UINT ByteLength() const { return SysStringByteLen(b_); }
  bool Empty() const { return Length() == 0; }
  // A new BSTR with the same bytes (for handing out through an out parameter).
  BSTR Copy() const { return CopyOf(b_); }
  // A new BSTR with the bytes of b (null for null).
  static BSTR CopyOf(BSTR b) {
    return b ? SysAllocStringByteLen(reinterpret_cast<const char*>(b), SysStringByteLen(b)) : nullptr;
  }

  // Takes ownership of b, freeing what was held.
  void Attach(BSTR b) {
    if (b != b_) SysFreeString(b_);
    b_ = b;
  }
  BSTR Detach() { return std::exchange(b_, nullptr); }
  void Reset() { Attach(nullptr); }
  // For out parameters: frees what is held and returns the slot.
  BSTR* operator&() {
    Reset();
    return &b_;
  }

 private:
  BSTR b_ = nullptr;
};

inline bool operator==(const Bstr& a, const Bstr& b) { return a.View() == b.View(); }

}  // namespace com
