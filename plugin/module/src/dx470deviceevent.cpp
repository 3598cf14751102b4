#include "dx470deviceevent.h"

#include <memory>

#include "com/barrier.h"
#include "data/dx470data.h"

CDX470DeviceEvent::CDX470DeviceEvent() : m_oLog("DX470") {}

HRESULT CDX470DeviceEvent::OnAddDevide(IUnknown* device, IUnknown* source) {
  return com::CallGuarded([&] { return AddDevice(device, source); });
}

HRESULT CDX470DeviceEvent::AddDevice(IUnknown* device, IUnknown* source) {
  m_oLog.Trace(TRACE_LEVEL_INFO, "OnAddDevide");
  com::ComPtr<IDevice> newDevice;
  if (!device || FAILED(device->QueryInterface(IDevice::iid, newDevice.PpvSlot()))) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "CDX470DeviceEvent:Failed to get IDevice interface");
    return E_FAIL;
  }
  // The BLOB travels through a copy, initialised to a new device's defaults.
  // The data objects hold 112 KB each: they live on the heap, never on a
  // host thread's stack.
  auto targetData = std::make_unique<CDX470Data>();
  CDX470Data& target = *targetData;
  auto blob = std::make_unique<dx470::TYPE_DX470_BLOB_COMPLETE>(target.Blob());
  HRESULT hr = target.EtsInit(newDevice.Get());
  if (FAILED(hr)) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "CDX470DeviceEvent:EtsInit [%08X]", unsigned(hr));
    return hr;
  }
  com::ComPtr<IDevice> sourceDevice;
  if (source) source->QueryInterface(IDevice::iid, sourceDevice.PpvSlot());

  if (!sourceDevice) {
    // A device that already carries a valid BLOB keeps it (for example one
    // that survived the deletion of an earlier device at its address).
    if (SUCCEEDED(target.EtsReadBlob(blob.get())))
      m_oLog.Trace(TRACE_LEVEL_ERROR, "CDX470DeviceEvent:Blob vom gelöschten Gerät");
    else
      m_oLog.Trace(TRACE_LEVEL_ERROR, "CDX470DeviceEvent:neues Gerät");
    hr = target.EtsWriteBlob(blob.get());
    if (FAILED(hr)) {
      m_oLog.Trace(TRACE_LEVEL_ERROR, "CDX470DeviceEvent:EtsWriteBlob [%08X]", unsigned(hr));
      return hr;
    }
    m_oLog.Trace(TRACE_LEVEL_INFO, "Gerät wurde erfolgreich angelegt");
    return S_OK;
  }

  // A copy takes the source's whole BLOB, its download state included.
  m_oLog.Trace(TRACE_LEVEL_INFO, "Device copy");
  auto sourceObject = std::make_unique<CDX470Data>();
  CDX470Data& sourceData = *sourceObject;
  hr = sourceData.EtsInit(sourceDevice.Get());
  if (FAILED(hr)) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "CDX470DeviceEvent:EtsInit [%08X]", unsigned(hr));
    return hr;
  }
  hr = sourceData.EtsReadBlob(blob.get());
  if (FAILED(hr)) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "CDX470DeviceEvent:EtsReadBlob [%08X]", unsigned(hr));
    return hr;
  }
  hr = target.EtsWriteBlob(blob.get());
  if (FAILED(hr)) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "CDX470DeviceEvent:EtsWriteBlob [%08X]", unsigned(hr));
    return hr;
  }
  m_oLog.Trace(TRACE_LEVEL_INFO, "Gerät wurde erfolgreich kopiert");
  return S_OK;
}

HRESULT CDX470DeviceEvent::OnRemoveDevice(IUnknown*) { return S_OK; }
