#include "dx470deviceevent.h"

CDX470DeviceEvent::CDX470DeviceEvent() : m_oLog("DX470") {}

HRESULT CDX470DeviceEvent::OnAddDevide(IUnknown*, IUnknown*) {
  // Device configuration handling is not part of this build yet.
  return E_NOTIMPL;
}

HRESULT CDX470DeviceEvent::OnRemoveDevice(IUnknown*) { return S_OK; }
