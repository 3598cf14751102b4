#include "host/project_com.h"

#include "base/strings.h"
#include "com/errorinfo.h"

namespace host {

HRESULT ReportError(HRESULT hr, const std::string& text) { return com::ReportFailure(hr, text.c_str()); }

HRESULT CollectionIndex(const VARIANT& index, int32_t count, int32_t* position) {
  int64_t i = 0;
  switch (index.vt) {
    case VT_I4: i = index.lVal; break;
    case VT_I2: i = index.iVal; break;
    case VT_UI1: i = index.bVal; break;
    case VT_I4 | VT_BYREF:
      if (!index.plVal) return E_INVALIDARG;
      i = *index.plVal;
      break;
    case VT_I2 | VT_BYREF:
      if (!index.piVal) return E_INVALIDARG;
      i = *index.piVal;
      break;
    case VT_UI1 | VT_BYREF:
      if (!index.pbVal) return E_INVALIDARG;
      i = *index.pbVal;
      break;
    default: return E_INVALIDARG;
  }
  if (i < 1 || i > count) return E_INVALIDARG;
  *position = static_cast<int32_t>(i);
  return S_OK;
}

HRESULT ReturnText(const std::string& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = com::Bstr::FromUtf8(text).Detach();
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ReturnLong(int32_t value, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  out->vt = VT_I4;
  out->lVal = value;
  return S_OK;
}

}  // namespace host
