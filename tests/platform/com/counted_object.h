#pragma once
// A plain COM object that only counts its references, for checking that
// containers AddRef and Release exactly as often as they should.
#include "com/unknown.h"

namespace test {

class CountedObject final : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid != IUnknown::iid) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }  // lives on the stack: never deleted

  ULONG refs = 1;
};

}  // namespace test
