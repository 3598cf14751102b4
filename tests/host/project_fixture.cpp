#include "project_fixture.h"

namespace projecttest {

com::Variant ByteArray(size_t n, uint8_t seed) {
  com::Variant v;
  SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(n));
  {
    com::SafeArrayData data(a);
    for (size_t i = 0; i < n; ++i) data.As<uint8_t>()[i] = static_cast<uint8_t>(i * 7 + seed);
  }
  v.AttachArray(a);
  return v;
}

std::vector<uint8_t> BytesOf(const VARIANT& v) {
  if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray) return {};
  com::SafeArrayData data(v.parray);
  size_t n = 1;
  for (UINT d = 0; d < SafeArrayGetDim(v.parray); ++d) n *= v.parray->rgsabound[d].cElements;
  return {data.As<uint8_t>(), data.As<uint8_t>() + n};
}

HRESULT WriteExt(IDeviceExtData* ext, const char16_t* key, const VARIANT& value) {
  com::Bstr k(key);
  return ext->WriteExtData(k.Get(), value);
}

com::Variant ReadExt(IDeviceExtData* ext, const char16_t* key, HRESULT* hr) {
  com::Bstr k(key);
  VARIANT raw;
  VariantInit(&raw);
  HRESULT r = ext->ReadExtData(k.Get(), &raw);
  if (hr) *hr = r;
  com::Variant v;
  v.Attach(&raw);
  return v;
}

}  // namespace projecttest
