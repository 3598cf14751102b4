#include "dx470hawk.h"

CDX470Hawk::CDX470Hawk() : m_oLog("DX470"), m_oLogPlain(nullptr) {}

HRESULT CDX470Hawk::Download(IUnknown*, LONG, LONG, IStatusSink*, BYTE, ImageSegmentList* imageIn,
                             ImageSegmentList* imageOut, IStream** procedures, SHORT* progress) {
  if (!imageIn || !imageOut || !procedures || !progress) return E_POINTER;
  *procedures = nullptr;
  // The download is not part of this build yet.
  return E_NOTIMPL;
}

HRESULT CDX470Hawk::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == IDeviceDownload::iid ? S_OK : S_FALSE;
}
