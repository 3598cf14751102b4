#pragma once
// DX470DeviceEvent: called by the host when a device of the family is added
// to a project or copied within it.
#include "com/object.h"
#include "hostapi/plugin.h"
#include "logger/logger.h"

class CDX470DeviceEvent : public IDeviceEvents, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDeviceEvents;
  CDX470DeviceEvent();
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDeviceEvents>(this, iid, ppv);
  }

  HRESULT OnAddDevide(IUnknown* device, IUnknown* source) override;
  HRESULT OnRemoveDevice(IUnknown* device) override;

 private:
  HRESULT AddDevice(IUnknown* device, IUnknown* source);

  CLogger m_oLog;
};
