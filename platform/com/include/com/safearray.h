#pragma once
// SAFEARRAY: a self-describing array of automation values, laid out as on
// 64-bit Windows. rgsabound holds the dimensions last-first: rgsabound[0] is
// the last dimension given to SafeArrayCreate. Dimension 1 (the first one
// given) varies fastest in memory, and index vectors list dimension 1 first.
#include "base/export.h"
#include "base/hresult.h"
#include "com/variant.h"

struct SAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
};

struct SAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
};
static_assert(sizeof(SAFEARRAY) == 32);

constexpr USHORT FADF_AUTO = 0x0001;
constexpr USHORT FADF_STATIC = 0x0002;
constexpr USHORT FADF_EMBEDDED = 0x0004;
constexpr USHORT FADF_FIXEDSIZE = 0x0010;
constexpr USHORT FADF_RECORD = 0x0020;
constexpr USHORT FADF_HAVEIID = 0x0040;
constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;
constexpr USHORT FADF_DISPATCH = 0x0400;
constexpr USHORT FADF_VARIANT = 0x0800;
constexpr USHORT FADF_RESERVED = 0xF008;

// A zero-filled array; bounds[0] is dimension 1. Null for an element type
// without a fixed size, no dimensions, or a size that does not fit memory.
RT_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* rgsabound);
RT_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
// Frees the elements (BSTRs, references, VARIANTs) and the array.
// DISP_E_ARRAYISLOCKED while locked; S_OK for null.
RT_API HRESULT SafeArrayDestroy(SAFEARRAY* psa);
RT_API UINT SafeArrayGetDim(SAFEARRAY* psa);
RT_API UINT SafeArrayGetElemsize(SAFEARRAY* psa);
// nDim counts from 1; DISP_E_BADINDEX for a dimension the array lacks.
RT_API HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
RT_API HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
RT_API HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
RT_API HRESULT SafeArrayLock(SAFEARRAY* psa);
// E_UNEXPECTED when the array is not locked.
RT_API HRESULT SafeArrayUnlock(SAFEARRAY* psa);
// Locks the array and returns its data.
RT_API HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
RT_API HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
// Address of one element; DISP_E_BADINDEX out of range.
RT_API HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, const LONG* rgIndices, void** ppvData);
// Copies one element out: a new BSTR, an added reference, a VARIANT copy
// (pv is taken as uninitialised), else the bytes.
RT_API HRESULT SafeArrayGetElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv);
// Stores a copy of one element. pv is the BSTR itself for VT_BSTR, the
// interface pointer for VT_UNKNOWN/VT_DISPATCH, else the address of the value.
RT_API HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv);
// Deep copy; null for null.
RT_API HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
// New bounds for the last dimension (rgsabound[0]); elements cut off are
// freed, new ones are zero. DISP_E_ARRAYISLOCKED while locked.
RT_API HRESULT SafeArrayRedim(SAFEARRAY* psa, const SAFEARRAYBOUND* psaboundNew);

namespace com {

// Owner of a SAFEARRAY: destroys it (unlocked) on destruction.
class SafeArray {
 public:
  SafeArray() = default;
  explicit SafeArray(SAFEARRAY* psa) : p_(psa) {}
  SafeArray(const SafeArray&) = delete;
  SafeArray& operator=(const SafeArray&) = delete;
  SafeArray(SafeArray&& o) noexcept : p_(o.Detach()) {}
  SafeArray& operator=(SafeArray&& o) noexcept {
    if (this != &o) Reset(o.Detach());
    return *this;
  }
  ~SafeArray() { Reset(); }

  SAFEARRAY* Get() const { return p_; }
  SAFEARRAY* Detach() {
    SAFEARRAY* p = p_;
    p_ = nullptr;
    return p;
  }
  void Reset(SAFEARRAY* psa = nullptr) {
    if (p_) SafeArrayDestroy(p_);
    p_ = psa;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  SAFEARRAY* p_ = nullptr;
};

// Keeps an array's data accessed (locked) for its lifetime.
class SafeArrayData {
 public:
  explicit SafeArrayData(SAFEARRAY* psa) : psa_(psa) {
    if (FAILED(SafeArrayAccessData(psa, &data_))) {
      psa_ = nullptr;
      data_ = nullptr;
    }
  }
  SafeArrayData(const SafeArrayData&) = delete;
  SafeArrayData& operator=(const SafeArrayData&) = delete;
  ~SafeArrayData() {
    if (psa_) SafeArrayUnaccessData(psa_);
  }
  void* Get() const { return data_; }
  template <class T>
  T* As() const {
    return static_cast<T*>(data_);
  }

 private:
  SAFEARRAY* psa_;
  void* data_ = nullptr;
};

}  // namespace com
