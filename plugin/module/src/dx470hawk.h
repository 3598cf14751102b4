#pragma once
// DX470Hawk: one download of one device, called once per step.
#include "com/errorinfo.h"
#include "com/object.h"
#include "data/dx470data.h"
#include "download/driver.h"
#include "hostapi/plugin.h"
#include "logger/logger.h"
#include "win/critsec.h"

class CDX470Hawk : public IDeviceDownload, public ISupportErrorInfo, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDeviceDownload;
  // Call states of a download.
  enum CallState : int32_t { kStart = 0, kDataLoaded = 1, kOwnDownload = 2 };
  // Code passed to the status sink with a reported error.
  static constexpr LONG kErrorReportCode = LONG(0x80000008u);

  CDX470Hawk();
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDeviceDownload, ISupportErrorInfo>(this, iid, ppv);
  }

  HRESULT Download(IUnknown* deviceData, LONG a2, LONG a3, IStatusSink* status, BYTE mode,
                   ImageSegmentList* imageIn, ImageSegmentList* imageOut, IStream** procedures,
                   SHORT* progress) override;
  HRESULT InterfaceSupportsErrorInfo(REFIID iid) override;

 private:
  // One download step; Download runs it behind the exception barrier.
  HRESULT Step(IUnknown* deviceData, LONG a2, LONG a3, IStatusSink* status, BYTE mode,
               ImageSegmentList* imageIn, ImageSegmentList* imageOut, IStream** procedures, SHORT* progress);
  // Binds the data object to the download's device and reads its BLOB.
  HRESULT LoadData(IUnknown* deviceData);
  // Shows "Download error <text> !!!" through the status sink.
  void ReportError(IStatusSink* status, HRESULT hr);
  // Writes the parameters that mirror the current configuration.
  HRESULT MirrorParameters();

  win::CriticalSection m_oCritSec;
  CLogger m_oLog;  // channel "DX470"
  int32_t m_nCallState = kStart;
  CDX470Download m_oDownload;
  CDX470Data m_oDX470Data;
};
