#include "host/project_value.h"

#include <cstring>

#include "com/safearray.h"

namespace host {
namespace {

constexpr HRESULT kBadStoredValue = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
// Arrays beyond this are refused rather than risk running out of memory.
constexpr uint64_t kMaxArrayBytes = 512u * 1024 * 1024;

void PutU32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

HRESULT EncodeValue(const VARIANT& value, StoredValue* out) {
  if (value.vt & VT_BYREF) {
    // A value passed by reference is stored as the value it points to.
    if (!value.byref) return E_INVALIDARG;
    VARTYPE vt = value.vt & ~VT_BYREF;
    if (vt == VT_VARIANT) return EncodeValue(*value.pvarVal, out);
    VARIANT direct;
    VariantInit(&direct);
    direct.vt = vt;
    if (vt & VT_ARRAY)
      direct.parray = *value.pparray;
    else if (vt == VT_BSTR)
      direct.bstrVal = *value.pbstrVal;
    else if (size_t size = FixedValueSize(vt))
      std::memcpy(&direct.llVal, value.byref, size);
    else
      return DISP_E_BADVARTYPE;
    return EncodeValue(direct, out);
  }
  out->vt = value.vt;
  out->bounds.clear();
  out->data.clear();
  if (value.vt == VT_EMPTY || value.vt == VT_NULL) return S_OK;
  if (value.vt == VT_BSTR) {
    const auto* p = reinterpret_cast<const uint8_t*>(value.bstrVal);
    out->data.assign(p, p + SysStringByteLen(value.bstrVal));
    return S_OK;
  }
  if (value.vt & VT_ARRAY) {
    VARTYPE element = value.vt & VT_TYPEMASK;
    size_t size = FixedValueSize(element);
    if ((value.vt & ~(VT_ARRAY | VT_TYPEMASK)) != 0 || size == 0) return DISP_E_BADVARTYPE;
    SAFEARRAY* psa = value.parray;
    if (!psa) return E_INVALIDARG;
    if (SafeArrayGetElemsize(psa) != size) return DISP_E_BADVARTYPE;
    UINT dims = SafeArrayGetDim(psa);
    uint64_t count = 1;
    for (UINT d = 1; d <= dims; ++d) {
      LONG lower = 0;
      if (FAILED(SafeArrayGetLBound(psa, d, &lower))) return E_INVALIDARG;
      ULONG n = psa->rgsabound[dims - d].cElements;
      PutU32(out->bounds, static_cast<uint32_t>(lower));
      PutU32(out->bounds, n);
      count *= n;
      if (count * size > kMaxArrayBytes) return E_OUTOFMEMORY;
    }
    com::SafeArrayData data(psa);
    if (count && !data.Get()) return E_UNEXPECTED;
    const auto* p = data.As<const uint8_t>();
    out->data.assign(p, p + count * size);
    return S_OK;
  }
  size_t size = FixedValueSize(value.vt);
  if (size == 0) return DISP_E_BADVARTYPE;
  const auto* p = reinterpret_cast<const uint8_t*>(&value.llVal);
  out->data.assign(p, p + size);  // little-endian host: the low bytes of the union
  return S_OK;
}

HRESULT DecodeValue(VARTYPE vt, const uint8_t* bounds, size_t boundsSize, const uint8_t* data,
                    size_t dataSize, VARIANT* out) {
  VariantInit(out);
  if (vt == VT_EMPTY || vt == VT_NULL) {
    out->vt = vt;
    return S_OK;
  }
  if (vt == VT_BSTR) {
    BSTR b = SysAllocStringByteLen(reinterpret_cast<const char*>(data), static_cast<UINT>(dataSize));
    if (!b) return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    out->bstrVal = b;
    return S_OK;
  }
  if (vt & VT_ARRAY) {
    VARTYPE element = vt & VT_TYPEMASK;
    size_t size = FixedValueSize(element);
    if ((vt & ~(VT_ARRAY | VT_TYPEMASK)) != 0 || size == 0) return kBadStoredValue;
    size_t dims = boundsSize / 8;
    if (dims == 0 || dims > 64 || boundsSize % 8 != 0) return kBadStoredValue;
    std::vector<SAFEARRAYBOUND> sab(dims);
    uint64_t count = 1;
    for (size_t d = 0; d < dims; ++d) {
      sab[d].lLbound = static_cast<LONG>(GetU32(bounds + 8 * d));
      sab[d].cElements = GetU32(bounds + 8 * d + 4);
      count *= sab[d].cElements;
      if (count * size > kMaxArrayBytes) return kBadStoredValue;
    }
    if (count * size != dataSize) return kBadStoredValue;
    com::SafeArray psa(SafeArrayCreate(element, static_cast<UINT>(dims), sab.data()));
    if (!psa) return E_OUTOFMEMORY;
    if (dataSize) {
      com::SafeArrayData target(psa.Get());
      if (!target.Get()) return E_UNEXPECTED;
      std::memcpy(target.Get(), data, dataSize);
    }
    out->vt = vt;
    out->parray = psa.Detach();
    return S_OK;
  }
  size_t size = FixedValueSize(vt);
  if (size == 0 || size != dataSize) return kBadStoredValue;
  out->vt = vt;
  std::memcpy(&out->llVal, data, size);
  return S_OK;
}

}  // namespace host
