// The BLOB as extension data of the host device: a 1-D VT_ARRAY|VT_UI1 of
// exactly 112292 bytes under the key "DX470".
#include <cstring>

#include "com/safearray.h"
#include "data/dx470data.h"

namespace {
constexpr ULONG kBlobSize = sizeof(dx470::TYPE_DX470_BLOB_COMPLETE);
}

HRESULT CDX470Data::EtsInit(IUnknown* device) {
  if (!device) return E_POINTER;
  com::ComPtr<IDevice> newDevice;
  HRESULT hr = device->QueryInterface(IDevice::iid, newDevice.PpvSlot());
  if (FAILED(hr)) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "Failed to get IDevice interface %s", base::ErrorText(hr).c_str());
    return hr;
  }
  com::ComPtr<IDeviceExtData> extData;
  hr = newDevice.As(&extData);
  if (FAILED(hr)) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "Failed to get IDeviceExtData interface %s", base::ErrorText(hr).c_str());
    return hr;
  }
  m_spDevice = std::move(newDevice);
  m_spDeviceExtData = std::move(extData);
  return S_OK;
}

HRESULT CDX470Data::EtsReadBlob(dx470::TYPE_DX470_BLOB_COMPLETE* target) {
  if (!target || !m_spDeviceExtData) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  com::Bstr key(kBlobKey);
  com::Variant value;
  HRESULT hr = m_spDeviceExtData->ReadExtData(key.Get(), &value);
  if (FAILED(hr)) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "ReadExtData failed %s", base::ErrorText(hr).c_str());
    return hr;
  }
  if (value.vt == (VT_ARRAY | VT_UI1)) {
    SAFEARRAY* array = value.parray;
    UINT dims = array ? SafeArrayGetDim(array) : 0;
    if (dims != 1) {
      m_oLog.Trace(TRACE_LEVEL_ERROR, "Unexpected cDims %u", unsigned(dims));
      return E_UNEXPECTED;
    }
    ULONG count = array->rgsabound[0].cElements;
    if (count != kBlobSize) {
      m_oLog.Trace(TRACE_LEVEL_ERROR, "Ungültige BLOBlänge (gelesen %u; erwartet %u)", unsigned(count),
                   unsigned(kBlobSize));
      return E_UNEXPECTED;
    }
    void* data = nullptr;
    hr = SafeArrayAccessData(array, &data);
    if (FAILED(hr)) return hr;
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint32_t version =
        uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    if (version != dx470::kBlobVersion) {
      SafeArrayUnaccessData(array);
      m_oLog.Trace(TRACE_LEVEL_ERROR, "Ungültige BLOB Version (gelesen %08X; erwartet %08X)",
                   unsigned(version), unsigned(dx470::kBlobVersion));
      return kBadVersion;
    }
    std::memcpy(target, bytes, kBlobSize);
    SafeArrayUnaccessData(array);
    m_oLog.Trace(TRACE_LEVEL_INFO, "Successfully loaded BLOB data");
    return S_OK;
  }
  if (value.vt == VT_NULL) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "no Blob");
    return kNoBlob;
  }
  m_oLog.Trace(TRACE_LEVEL_ERROR, "Unexpected variant type %08X", unsigned(value.vt));
  return E_UNEXPECTED;
}

HRESULT CDX470Data::EtsWriteBlob(const dx470::TYPE_DX470_BLOB_COMPLETE* source) {
  if (!source || !m_spDeviceExtData) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, kBlobSize);
  if (!array) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "Out of memory");
    return E_OUTOFMEMORY;
  }
  com::Variant value;
  value.vt = VT_ARRAY | VT_UI1;
  value.parray = array;  // the variant frees the array
  void* data = nullptr;
  HRESULT hr = SafeArrayAccessData(array, &data);
  if (FAILED(hr)) return hr;
  std::memcpy(data, source, kBlobSize);
  SafeArrayUnaccessData(array);

  com::Bstr key(kBlobKey);
  hr = m_spDeviceExtData->WriteExtData(key.Get(), value);
  if (SUCCEEDED(hr))
    m_oLog.Trace(TRACE_LEVEL_INFO, "Successfully stored BLOB data");
  else
    m_oLog.Trace(TRACE_LEVEL_ERROR, "WriteExtData failed [%08X]", unsigned(hr));
  return hr;
}
