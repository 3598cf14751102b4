#include "dx470hawk.h"

#include <string>

#include "base/strings.h"
#include "com/barrier.h"
#include "com/bstr.h"
#include "com/cocreate.h"
#include "com/errorinfo.h"
#include "pluginwinappbase/pluginwinappbase.h"

CDX470Hawk::CDX470Hawk() : m_oLog("DX470") {}

HRESULT CDX470Hawk::LoadData(IUnknown* deviceData) {
  if (!deviceData) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  com::ComPtr<IDownloadData> spData;
  HRESULT hr = deviceData->QueryInterface(IDownloadData::iid, spData.PpvSlot());
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "pDeviceData->QueryInterface", hr);
    return hr;
  }
  com::ComPtr<IUnknown> spDevice;
  hr = spData->get_DeviceRef(&spDevice);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "pDeviceData->get_DeviceRef", hr);
    return hr;
  }
  hr = m_oDX470Data.EtsInit(spDevice.Get());
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "m_oDX470Data.EtsInit", hr);
    return hr;
  }
  hr = m_oDX470Data.ReadBlobAndEtsParameter();
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "m_oDX470Data.ReadBlobAndEtsParameter", hr);
    return hr;
  }
  return S_OK;
}

HRESULT CDX470Hawk::MirrorParameters() {
  uint8_t values[CDX470Data::kMirroredCount];
  m_oDX470Data.BuildMirroredValues(values);
  HRESULT hr = m_oDX470Data.EtsWriteParameter(values, CDX470Data::kMirroredCount, false);
  if (FAILED(hr)) TRACE_FAILED(m_oLog, "m_oDX470Data.EtsWriteParameter", hr);
  return hr;
}

void CDX470Hawk::ReportError(IStatusSink* status, HRESULT hr) {
  if (!status) return;
  // A host call that failed inside the driver may have described its cause
  // (for example which device's configuration changed meanwhile).
  std::string described;
  com::ComPtr<IErrorInfo> spCause;
  com::Bstr description;
  if (GetErrorInfo(0, &spCause) == S_OK && spCause && SUCCEEDED(spCause->GetDescription(&description)))
    described = description.ToUtf8();
  const std::string& known = m_oDownload.ErrorText();
  const std::string reason = !known.empty() ? known : !described.empty() ? described : base::ErrorText(hr);
  const std::string text = Translate("Download error ") + reason + " !!!";
  com::ComPtr<IErrorInfo> spError;
  HRESULT hrInfo = com::MakeErrorInfo(base::Utf8ToUtf16(text), &spError);
  if (FAILED(hrInfo)) {
    TRACE_FAILED(m_oLog, "CreateErrorInfo", hrInfo);
    return;
  }
  status->ReportError(kErrorReportCode, spError.Get(), 0);
}

HRESULT CDX470Hawk::Download(IUnknown* deviceData, LONG a2, LONG a3, IStatusSink* status, BYTE mode,
                             ImageSegmentList* imageIn, ImageSegmentList* imageOut, IStream** procedures,
                             SHORT* progress) {
  return com::CallGuarded(
      [&] { return Step(deviceData, a2, a3, status, mode, imageIn, imageOut, procedures, progress); });
}

HRESULT CDX470Hawk::Step(IUnknown* deviceData, LONG a2, LONG a3, IStatusSink* status, BYTE mode,
                         ImageSegmentList* imageIn, ImageSegmentList* imageOut, IStream** procedures,
                         SHORT* progress) {
  // The host makes the calls of one download one after the other; the
  // section keeps a stray concurrent call out of the object's state.
  win::CritSecLock lock(m_oCritSec);
  if (!imageIn || !imageOut || !procedures || !progress) return E_POINTER;
  *procedures = nullptr;
  // The host's list of the previous step becomes ours (and is freed with
  // it); the output list starts empty so that no failure leaves it stale.
  CDX470Image oImageIn;
  oImageIn.TakeOver(imageIn);
  *imageOut = ImageSegmentList{0, nullptr};
  CDX470Image oImageOut;

  com::ComPtr<IHostDownload> spOriginal;
  HRESULT hr = CoCreateInstance(CLSID_HostDownload, nullptr, CLSCTX_INPROC_SERVER, IHostDownload::iid,
                                spOriginal.PpvSlot());
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "spOriginal.CoCreateInstance", hr);
    return hr;
  }

  bool runDriver = true;
  if (m_nCallState == kStart) {
    hr = LoadData(deviceData);
    if (FAILED(hr)) return hr;
    m_nCallState = kDataLoaded;
    if (mode == 0xFF || (mode & 0x02) != 0) {
      // The host's own part of the download comes first; ours starts with
      // the next call. It writes the parameters as the project holds them,
      // so they must mirror the configuration before (a BLOB imported
      // without the editor would otherwise send the previous values, and
      // only the next download the right ones).
      hr = MirrorParameters();
      if (FAILED(hr)) return hr;
      ImageSegmentList hostSegments{0, nullptr};
      com::ComPtr<IStream> spResult;
      hr = spOriginal->Download(deviceData, a2, a3, status, mode, &hostSegments, &spResult);
      oImageOut.TakeOver(&hostSegments);
      if (SUCCEEDED(hr)) {
        HRESULT hrInit = oImageOut.Init(spResult.Get());
        if (FAILED(hrInit)) hr = hrInit;
      }
      if (FAILED(hr)) {
        TRACE_FAILED(m_oLog, "imageOut.Init", hr);
        return hr;
      }
      runDriver = false;
    }
  }

  if (runDriver) {
    SetErrorInfo(0, nullptr);  // only what the driver's calls leave describes its failure
    hr = m_oDownload.Download(&m_oDX470Data, status, mode, &oImageOut, &oImageIn, m_nCallState == kDataLoaded,
                              progress);
    m_nCallState = kOwnDownload;
    if (FAILED(hr)) {
      ReportError(status, hr);
      return DOWNLOAD_S_LAST_STEP;
    }
  }

  HRESULT hrDetach = oImageOut.Detach(imageOut, procedures);
  if (FAILED(hrDetach)) {
    TRACE_FAILED(m_oLog, "imageOut.Detach", hrDetach);
    return hrDetach;
  }
  return hr;
}

HRESULT CDX470Hawk::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == IDeviceDownload::iid ? S_OK : S_FALSE;
}
