#include "com/safearray.h"

#include <atomic>
#include <cstring>

#include "com/memory.h"

namespace {

// Every descriptor is preceded by 16 bytes: the element type in the last 4
// (FADF_HAVEVARTYPE) or the element interface's IID in all 16 (FADF_HAVEIID).
constexpr size_t kPrefix = 16;
constexpr USHORT kMaxLocks = 0xFFFF;
constexpr IID kIidDispatch = MakeGuid("00020400-0000-0000-C000-000000000046");
// Features a copy does not inherit: they describe where the original lives.
constexpr USHORT kPlacementFeatures = FADF_AUTO | FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE;

size_t ElementSize(VARTYPE vt) {
  if (size_t size = FixedValueSize(vt)) return size;
  switch (vt) {
    case VT_BSTR: return sizeof(BSTR);
    case VT_UNKNOWN:
    case VT_DISPATCH: return sizeof(IUnknown*);
    case VT_DECIMAL: return 16;
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
  }
}

char* Prefix(SAFEARRAY* psa) { return reinterpret_cast<char*>(psa) - kPrefix; }

size_t DescriptorSize(UINT cDims) {
  return kPrefix + sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
}

SAFEARRAY* AllocDescriptor(UINT cDims) {
  size_t size = DescriptorSize(cDims);
  auto* block = static_cast<char*>(CoTaskMemAlloc(size));
  if (!block) return nullptr;
  std::memset(block, 0, size);
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kPrefix);
  psa->cDims = USHORT(cDims);
  return psa;
}

void FreeDescriptor(SAFEARRAY* psa) { CoTaskMemFree(Prefix(psa)); }

// Number of elements and of bytes, false when either does not fit size_t.
bool Cells(const SAFEARRAYBOUND* bounds, UINT cDims, size_t cbElements, size_t* cells, size_t* bytes) {
  size_t n = 1;
  for (UINT i = 0; i < cDims; ++i)
    if (__builtin_mul_overflow(n, size_t(bounds[i].cElements), &n)) return false;
  if (__builtin_mul_overflow(n, cbElements, bytes)) return false;
  *cells = n;
  return true;
}

size_t CellCount(const SAFEARRAY* psa) {
  size_t cells = 0, bytes = 0;
  Cells(psa->rgsabound, psa->cDims, psa->cbElements, &cells, &bytes);
  return cells;
}

void* AllocData(size_t bytes) {
  void* p = CoTaskMemAlloc(bytes);
  if (p) std::memset(p, 0, bytes);
  return p;
}

// Frees what `count` elements from `first` own.
void ReleaseElements(SAFEARRAY* psa, size_t first, size_t count) {
  char* p = static_cast<char*>(psa->pvData) + first * psa->cbElements;
  for (size_t i = 0; i < count; ++i, p += psa->cbElements) {
    if (psa->fFeatures & FADF_BSTR) {
      SysFreeString(*reinterpret_cast<BSTR*>(p));
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
      if (auto* u = *reinterpret_cast<IUnknown**>(p)) u->Release();
    } else if (psa->fFeatures & FADF_VARIANT) {
      VariantClear(reinterpret_cast<VARIANT*>(p));
    }
  }
}

// Deep copy of `count` elements of array `from` into zeroed memory `to`.
HRESULT CopyElements(const SAFEARRAY* from, void* to, size_t count) {
  if (!(from->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT))) {
    if (count) std::memcpy(to, from->pvData, count * from->cbElements);
    return S_OK;
  }
  for (size_t i = 0; i < count; ++i) {
    if (from->fFeatures & FADF_BSTR) {
      BSTR s = static_cast<BSTR*>(from->pvData)[i];
      BSTR& d = static_cast<BSTR*>(to)[i];
      d = com::Bstr::CopyOf(s);
      if (s && !d) return E_OUTOFMEMORY;
    } else if (from->fFeatures & FADF_VARIANT) {
      HRESULT hr = VariantCopy(static_cast<VARIANT*>(to) + i, static_cast<VARIANT*>(from->pvData) + i);
      if (FAILED(hr)) return hr;
    } else {
      IUnknown* u = static_cast<IUnknown**>(from->pvData)[i];
      if (u) u->AddRef();
      static_cast<IUnknown**>(to)[i] = u;
    }
  }
  return S_OK;
}

// Locks the array for the lifetime of the guard.
class LockGuard {
 public:
  explicit LockGuard(SAFEARRAY* psa) : psa_(psa), hr_(SafeArrayLock(psa)) {}
  ~LockGuard() {
    if (SUCCEEDED(hr_)) SafeArrayUnlock(psa_);
  }
  HRESULT Result() const { return hr_; }

 private:
  SAFEARRAY* psa_;
  HRESULT hr_;
};

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* rgsabound) {
  size_t elemSize = ElementSize(vt);
  if (!rgsabound || cDims == 0 || cDims > 0xFFFF || elemSize == 0) return nullptr;
  for (UINT i = 0; i < cDims; ++i) {
    // The upper bound (lLbound + cElements - 1) must be a LONG.
    if (int64_t(rgsabound[i].lLbound) + int64_t(rgsabound[i].cElements) - 1 > INT32_MAX) return nullptr;
  }
  size_t cells, bytes;
  if (!Cells(rgsabound, cDims, elemSize, &cells, &bytes)) return nullptr;
  SAFEARRAY* psa = AllocDescriptor(cDims);
  if (!psa) return nullptr;
  psa->cbElements = ULONG(elemSize);
  for (UINT i = 0; i < cDims; ++i) psa->rgsabound[cDims - 1 - i] = rgsabound[i];
  switch (vt) {
    case VT_BSTR: psa->fFeatures = FADF_BSTR | FADF_HAVEVARTYPE; break;
    case VT_VARIANT: psa->fFeatures = FADF_VARIANT | FADF_HAVEVARTYPE; break;
    case VT_UNKNOWN: psa->fFeatures = FADF_UNKNOWN | FADF_HAVEIID; break;
    case VT_DISPATCH: psa->fFeatures = FADF_DISPATCH | FADF_HAVEIID; break;
    default: psa->fFeatures = FADF_HAVEVARTYPE; break;
  }
  if (psa->fFeatures & FADF_HAVEIID) {
    const IID& iid = vt == VT_UNKNOWN ? IUnknown::iid : kIidDispatch;
    std::memcpy(Prefix(psa), &iid, sizeof iid);
  } else {
    uint32_t type = vt;
    std::memcpy(Prefix(psa) + kPrefix - sizeof type, &type, sizeof type);
  }
  psa->pvData = AllocData(bytes);
  if (!psa->pvData) {
    FreeDescriptor(psa);
    return nullptr;
  }
  return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound{cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (std::atomic_ref<ULONG>(psa->cLocks).load() > 0) return DISP_E_ARRAYISLOCKED;
  if (psa->pvData) {
    ReleaseElements(psa, 0, CellCount(psa));
    CoTaskMemFree(psa->pvData);
  }
  FreeDescriptor(psa);
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
  *plUbound = LONG(int64_t(b.lLbound) + int64_t(b.cElements) - 1);
  return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  if (psa->fFeatures & FADF_HAVEVARTYPE) {
    uint32_t type;
    std::memcpy(&type, Prefix(psa) + kPrefix - sizeof type, sizeof type);
    *pvt = VARTYPE(type);
  } else if (psa->fFeatures & FADF_BSTR) {
    *pvt = VT_BSTR;
  } else if (psa->fFeatures & FADF_UNKNOWN) {
    *pvt = VT_UNKNOWN;
  } else if (psa->fFeatures & FADF_DISPATCH) {
    *pvt = VT_DISPATCH;
  } else if (psa->fFeatures & FADF_VARIANT) {
    *pvt = VT_VARIANT;
  } else if (psa->fFeatures & FADF_RECORD) {
    *pvt = VT_RECORD;
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  std::atomic_ref<ULONG> locks(psa->cLocks);
  if (locks.fetch_add(1) + 1 > kMaxLocks) {
    locks.fetch_sub(1);
    return E_UNEXPECTED;
  }
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  std::atomic_ref<ULONG> locks(psa->cLocks);
  ULONG n = locks.load();
  do {
    if (n == 0) return E_UNEXPECTED;
  } while (!locks.compare_exchange_weak(n, n - 1));
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
  return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, const LONG* rgIndices, void** ppvData) {
  if (!psa || !rgIndices || !ppvData) return E_INVALIDARG;
  size_t cell = 0, stride = 1;
  for (UINT i = 0; i < psa->cDims; ++i) {
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - i];
    int64_t offset = int64_t(rgIndices[i]) - b.lLbound;
    if (offset < 0 || offset >= int64_t(b.cElements)) return DISP_E_BADINDEX;
    cell += size_t(offset) * stride;
    stride *= b.cElements;
  }
  *ppvData = static_cast<char*>(psa->pvData) + cell * psa->cbElements;
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices || !pv) return E_INVALIDARG;
  LockGuard lock(psa);
  if (FAILED(lock.Result())) return lock.Result();
  void* elem;
  HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &elem);
  if (FAILED(hr)) return hr;
  if (psa->fFeatures & FADF_BSTR) {
    BSTR s = *static_cast<BSTR*>(elem);
    BSTR copy = com::Bstr::CopyOf(s);
    if (s && !copy) return E_OUTOFMEMORY;
    *static_cast<BSTR*>(pv) = copy;
  } else if (psa->fFeatures & FADF_VARIANT) {
    VariantInit(static_cast<VARIANT*>(pv));
    return VariantCopy(static_cast<VARIANT*>(pv), static_cast<VARIANT*>(elem));
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* u = *static_cast<IUnknown**>(elem);
    if (u) u->AddRef();
    *static_cast<IUnknown**>(pv) = u;
  } else {
    std::memcpy(pv, elem, psa->cbElements);
  }
  return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices) return E_INVALIDARG;
  bool byValue = psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH);
  if (!byValue && !pv) return E_INVALIDARG;
  LockGuard lock(psa);
  if (FAILED(lock.Result())) return lock.Result();
  void* elem;
  HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &elem);
  if (FAILED(hr)) return hr;
  if (psa->fFeatures & FADF_BSTR) {
    BSTR copy = com::Bstr::CopyOf(static_cast<BSTR>(pv));
    if (pv && !copy) return E_OUTOFMEMORY;
    SysFreeString(*static_cast<BSTR*>(elem));
    *static_cast<BSTR*>(elem) = copy;
  } else if (psa->fFeatures & FADF_VARIANT) {
    return VariantCopy(static_cast<VARIANT*>(elem), static_cast<VARIANT*>(pv));
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* u = static_cast<IUnknown*>(pv);
    if (u) u->AddRef();
    IUnknown* old = *static_cast<IUnknown**>(elem);
    *static_cast<IUnknown**>(elem) = u;
    if (old) old->Release();
  } else {
    std::memcpy(elem, pv, psa->cbElements);
  }
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  size_t cells = CellCount(psa);
  SAFEARRAY* copy = AllocDescriptor(psa->cDims);
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(Prefix(copy), Prefix(psa), DescriptorSize(psa->cDims));
  copy->fFeatures = USHORT(psa->fFeatures & ~kPlacementFeatures);
  copy->cLocks = 0;
  copy->pvData = AllocData(cells * psa->cbElements);
  if (!copy->pvData) {
    FreeDescriptor(copy);
    return E_OUTOFMEMORY;
  }
  HRESULT hr = CopyElements(psa, copy->pvData, cells);
  if (FAILED(hr)) {
    SafeArrayDestroy(copy);  // elements not reached are still zero
    return hr;
  }
  *ppsaOut = copy;
  return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* psa, const SAFEARRAYBOUND* psaboundNew) {
  if (!psa || !psaboundNew) return E_INVALIDARG;
  if (int64_t(psaboundNew->lLbound) + int64_t(psaboundNew->cElements) - 1 > INT32_MAX) return E_INVALIDARG;
  if (std::atomic_ref<ULONG>(psa->cLocks).load() > 0) return DISP_E_ARRAYISLOCKED;
  // The last dimension varies slowest: resizing it cuts or extends the tail.
  size_t oldCells = CellCount(psa);
  SAFEARRAYBOUND saved = psa->rgsabound[0];
  psa->rgsabound[0] = *psaboundNew;
  size_t newCells, newBytes;
  bool fits = Cells(psa->rgsabound, psa->cDims, psa->cbElements, &newCells, &newBytes);
  psa->rgsabound[0] = saved;
  if (!fits) return E_OUTOFMEMORY;
  if (newCells < oldCells) ReleaseElements(psa, newCells, oldCells - newCells);
  if (newCells != oldCells) {
    void* data = CoTaskMemRealloc(psa->pvData, newBytes ? newBytes : 1);
    if (!data) {
      // A failed shrink keeps the larger block; a failed growth changes nothing.
      if (newCells > oldCells) return E_OUTOFMEMORY;
      data = psa->pvData;
    }
    psa->pvData = data;
    if (newCells > oldCells) {
      size_t oldBytes = oldCells * psa->cbElements;
      std::memset(static_cast<char*>(data) + oldBytes, 0, newBytes - oldBytes);
    }
  }
  psa->rgsabound[0] = *psaboundNew;
  return S_OK;
}
