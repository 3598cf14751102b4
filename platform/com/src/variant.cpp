#include "com/variant.h"

#include "com/safearray.h"
#include "variant_coerce.h"

namespace com::detail {

bool IsValidBaseType(VARTYPE base) {
  switch (base) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_VARIANT:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_RECORD: return true;
    default: return false;
  }
}

HRESULT ValidateVariantType(VARTYPE vt) {
  VARTYPE base = vt & VT_TYPEMASK;
  VARTYPE extra = vt & VARTYPE(~VT_TYPEMASK);
  if ((extra & VARTYPE(~(VT_ARRAY | VT_BYREF))) || !IsValidBaseType(base)) return DISP_E_BADVARTYPE;
  if (base == VT_VARIANT && !extra) return DISP_E_BADVARTYPE;
  if ((base == VT_EMPTY || base == VT_NULL) && extra) return DISP_E_BADVARTYPE;
  return S_OK;
}

}  // namespace com::detail

using com::detail::ValidateVariantType;

void VariantInit(VARIANT* pvarg) {
  if (pvarg) std::memset(pvarg, 0, sizeof(VARIANT));
}

HRESULT VariantClear(VARIANT* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  HRESULT hr = ValidateVariantType(pvarg->vt);
  if (FAILED(hr)) return hr;
  if (!(pvarg->vt & VT_BYREF)) {
    if (pvarg->vt & VT_ARRAY) {
      // A locked array is left alone (not freed under its user) and reported.
      hr = SafeArrayDestroy(pvarg->parray);
    } else if (pvarg->vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if (pvarg->vt == VT_UNKNOWN || pvarg->vt == VT_DISPATCH) {
      // IDispatch derives from IUnknown alone, so its first slots are IUnknown's.
      if (pvarg->punkVal) pvarg->punkVal->Release();
    }
  }
  VariantInit(pvarg);
  return hr;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (dest == src) return S_OK;
  HRESULT hr = ValidateVariantType(src->vt);
  if (FAILED(hr)) return hr;
  // Copy first, then clear dest: src may live inside what dest owns.
  VARIANT tmp;
  std::memcpy(&tmp, src, sizeof tmp);
  if (!(src->vt & VT_BYREF)) {
    if (src->vt & VT_ARRAY) {
      hr = SafeArrayCopy(src->parray, &tmp.parray);
      if (FAILED(hr)) return hr;
    } else if (src->vt == VT_BSTR) {
      if (src->bstrVal) {
        tmp.bstrVal = com::Bstr::CopyOf(src->bstrVal);
        if (!tmp.bstrVal) return E_OUTOFMEMORY;
      }
    } else if (src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) {
      if (tmp.punkVal) tmp.punkVal->AddRef();
    }
  }
  hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&tmp);
    return hr;
  }
  std::memcpy(dest, &tmp, sizeof tmp);
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) {
  return VariantChangeTypeEx(dest, src, 0x0400, flags, vt);
}

HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID, USHORT flags, VARTYPE vt) {
  if (!dest || !src) return E_INVALIDARG;
  HRESULT hr = ValidateVariantType(src->vt);
  if (FAILED(hr)) return hr;
  if ((vt & VT_BYREF) || FAILED(ValidateVariantType(vt))) return DISP_E_BADVARTYPE;
  VARIANT value;
  hr = com::detail::Dereference(*src, &value);
  if (FAILED(hr)) return hr;
  // Convert into a temporary: dest may be src, and stays unchanged on failure.
  com::Variant out;
  try {
    hr = com::detail::Coerce(value, flags, vt, &out);
  } catch (...) {
    hr = E_OUTOFMEMORY;  // text conversions allocate
  }
  if (FAILED(hr)) return hr;
  hr = VariantClear(dest);
  if (FAILED(hr)) return hr;
  out.Detach(dest);
  return S_OK;
}

namespace com {

HRESULT Variant::AttachArray(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  VARTYPE type;
  HRESULT hr = SafeArrayGetVartype(psa, &type);
  if (FAILED(hr)) return hr;
  hr = VariantClear(this);
  if (FAILED(hr)) return hr;
  vt = VARTYPE(VT_ARRAY | type);
  parray = psa;
  return S_OK;
}

}  // namespace com
