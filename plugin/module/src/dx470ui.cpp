#include "dx470ui.h"

CDX470UI::CDX470UI() : m_oLog("DX470PlugIn.DX470UI") {}

HRESULT CDX470UI::SetDevice(LONG kind, IUnknown** object) {
  if (!object) return E_POINTER;
  if (kind != 1) return E_FAIL;
  m_spDevice = com::ComPtr<IUnknown>(*object);
  m_bDeviceSet = true;
  return S_OK;
}

HRESULT CDX470UI::Edit() {
  if (!m_spDevice) return E_POINTER;
  // The editor is not part of this build yet.
  return E_NOTIMPL;
}

HRESULT CDX470UI::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == IDeviceUI::iid ? S_OK : S_FALSE;
}
