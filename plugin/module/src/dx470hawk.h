#pragma once
// DX470Hawk: one download of one device, called once per step.
#include "com/errorinfo.h"
#include "com/object.h"
#include "hostapi/plugin.h"
#include "logger/logger.h"

class CDX470Hawk : public IDeviceDownload, public ISupportErrorInfo, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDeviceDownload;
  CDX470Hawk();
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDeviceDownload, ISupportErrorInfo>(this, iid, ppv);
  }

  HRESULT Download(IUnknown* deviceData, LONG a2, LONG a3, IStatusSink* status, BYTE mode,
                   ImageSegmentList* imageIn, ImageSegmentList* imageOut, IStream** procedures,
                   SHORT* progress) override;
  HRESULT InterfaceSupportsErrorInfo(REFIID iid) override;

 private:
  CLogger m_oLog;        // channel "DX470"
  CLogger m_oLogPlain;   // without channel name
  int32_t m_nCallState = 0;
};
