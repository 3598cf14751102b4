#include "host/ext_data_bytes.h"

#include <cstring>

#include "com/comptr.h"
#include "com/safearray.h"
#include "com/variant.h"

namespace host {

HRESULT ReadExtDataBytes(IDevice* device, const char16_t* key, std::vector<uint8_t>* bytes) {
  if (!device || !key || !bytes) return E_POINTER;
  com::ComPtr<IDeviceExtData> ext;
  HRESULT hr = device->QueryInterface(IDeviceExtData::iid, ext.PpvSlot());
  com::Bstr name(key);
  com::Variant value;
  if (SUCCEEDED(hr)) hr = ext->ReadExtData(name.Get(), &value);
  if (FAILED(hr)) return hr;
  if (value.vt == VT_NULL) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  if (value.vt != (VT_ARRAY | VT_UI1) || SafeArrayGetDim(value.parray) != 1) return E_UNEXPECTED;
  void* data = nullptr;
  hr = SafeArrayAccessData(value.parray, &data);
  if (FAILED(hr)) return hr;
  const auto* begin = static_cast<const uint8_t*>(data);
  bytes->assign(begin, begin + value.parray->rgsabound[0].cElements);
  SafeArrayUnaccessData(value.parray);
  return S_OK;
}

HRESULT WriteExtDataBytes(IDevice* device, const char16_t* key, const void* data, size_t size) {
  if (!device || !key || (!data && size > 0)) return E_POINTER;
  if (size > UINT32_MAX) return E_INVALIDARG;
  com::ComPtr<IDeviceExtData> ext;
  HRESULT hr = device->QueryInterface(IDeviceExtData::iid, ext.PpvSlot());
  if (FAILED(hr)) return hr;
  com::Variant value;
  value.vt = VT_ARRAY | VT_UI1;
  value.parray = SafeArrayCreateVector(VT_UI1, 0, ULONG(size));
  if (!value.parray) return E_OUTOFMEMORY;
  void* target = nullptr;
  hr = SafeArrayAccessData(value.parray, &target);
  if (FAILED(hr)) return hr;
  if (size > 0) std::memcpy(target, data, size);
  SafeArrayUnaccessData(value.parray);
  com::Bstr name(key);
  return ext->WriteExtData(name.Get(), value);
}

}  // namespace host
