#pragma once
// IUnknown and IClassFactory. An interface is a struct of pure virtual
// methods in slot order with no virtual destructor (it would add slots).
#include "base/hresult.h"
#include "com/guid.h"

#include <utility>

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
  static constexpr IID iid = MakeGuid("00000000-0000-0000-C000-000000000046");
};

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;
  static constexpr IID iid = MakeGuid("00000001-0000-0000-C000-000000000046");
};

// The ppv pair of QueryInterface-style calls, typed: IID_PPV_ARGS(&p).
template <class T>
inline std::pair<const IID&, void**> IidPpv(T** pp) {
  return {T::iid, reinterpret_cast<void**>(pp)};
}
