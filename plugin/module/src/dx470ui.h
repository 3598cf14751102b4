#pragma once
// DX470UI: the editor entry. The host hands it a device with SetDevice and
// opens the editor with Edit.
#include "com/comptr.h"
#include "com/errorinfo.h"
#include "com/object.h"
#include "data/dx470data.h"
#include "hostapi/plugin.h"
#include "logger/logger.h"

class CDX470UI : public IDeviceUI, public ISupportErrorInfo, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDeviceUI;
  CDX470UI();
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDeviceUI, ISupportErrorInfo>(this, iid, ppv);
  }

  // IDeviceUI
  HRESULT SetDevice(LONG kind, IUnknown** object) override;
  HRESULT Edit() override;
  // ISupportErrorInfo
  HRESULT InterfaceSupportsErrorInfo(REFIID iid) override;

 private:
  CLogger m_oLog;
  com::ComPtr<IUnknown> m_spDevice;
  CDX470Data m_oDX470Data;  // the configuration the editor works on
};
