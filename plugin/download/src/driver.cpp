#include "download/driver.h"

#include <cstring>

#include "base/strings.h"
#include "hostapi/plugin.h"
#include "pluginwinappbase/pluginwinappbase.h"

namespace {

constexpr uint32_t kBlockBytes = sizeof(dx470::BLOCKINFORMATIONEN);
constexpr uint32_t kGeneralBytes = sizeof(dx470::ALLGEMEINE);
// First byte of every block information the editor writes.
constexpr uint8_t kBlockIdentifier = 2;
constexpr uint16_t kReadBackLast = uint16_t(dx470::kImageBase + CDX470Download::kReadBackLength - 1);

}  // namespace

CDX470Download::CDX470Download() : m_oLog("DX470") {}

void CDX470Download::ShowStatus(IStatusSink* status, LONG kind, const char* key) const {
  const std::u16string text = base::Utf8ToUtf16(Translate(key));
  status->ShowStatus(0, 100, kind, text.c_str());
}

HRESULT CDX470Download::Download(CDX470Data* poDX470Data, IStatusSink* status, BYTE mode,
                                 CDX470Image* pImageOut, CDX470Image* pImageIn, bool first, SHORT* progress) {
  m_strErrorText.clear();
  if (!poDX470Data || !status || !pImageOut || !pImageIn || !progress) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  if ((mode & 0x01) == 0) {
    ShowStatus(status, kStatusFinished, "Download of DX 47x finished");
    return DOWNLOAD_S_LAST_STEP;
  }
  if (first) m_nDownloadPhase = kPrepare;

  // The device image of the current configuration, as segment at the image
  // base. A configuration too large for the device is refused here, before
  // anything is written.
  pImageOut->ClearProcedures();
  const dx470::ImageResult built = dx470::BuildLcdImage(poDX470Data->Param(), m_oImage);
  if (!built.ok()) {
    m_strErrorText = Translate(built.text());
    if (built.status == dx470::ImageStatus::TooLarge)
      m_strErrorText += base::Format(Translate(" (%u bytes needed, %u available)").c_str(),
                                     unsigned(built.length), unsigned(dx470::kMaxImageLength));
    TRACE_FAILED(m_oLog, "BuildLcdImage", built.hr());
    return built.hr();
  }
  m_nImageLength = built.length;
  HRESULT hr =
      pImageOut->AddImageSegment(CDX470Image::kDeviceMemory, 0, dx470::kImageBase, m_nImageLength, false);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "AddImageSegment", hr);
    return hr;
  }
  ImageSegment* segment = pImageOut->FindImageSegment(CDX470Image::kDeviceMemory, 0, dx470::kImageBase);
  if (!segment) {
    TRACE_FAILED(m_oLog, "FindImageSegment", E_UNEXPECTED);
    return E_UNEXPECTED;
  }
  std::memcpy(segment->data, m_oImage.data() + dx470::kImagePrefixSize, m_nImageLength);

  switch (m_nDownloadPhase) {
    case kPrepare: return Prepare(*poDX470Data, status, mode, *pImageOut);
    case kCompare: return Compare(*poDX470Data, status, *pImageOut, *pImageIn);
    case kFinish: return Finish(*poDX470Data, status, *pImageOut, progress);
  }
  TRACE_ASSERT(m_oLog);
  return E_UNEXPECTED;
}

HRESULT CDX470Download::Prepare(CDX470Data& data, IStatusSink* status, BYTE mode, CDX470Image& out) {
  // Until the finish step the project no longer claims that the device
  // holds its parameters.
  HRESULT hr = data.EtsSet_FlagParmetersLoaded(0);
  if (FAILED(hr)) TRACE_FAILED(m_oLog, "poDX470Data->EtsSet_FlagParmetersLoaded", hr);

  if (mode == 0xFF) {
    hr = WriteWholeImage(out, status, "a complete download was requested");
    if (FAILED(hr)) return hr;
    m_nDownloadPhase = kFinish;
    return S_OK;
  }
  ShowStatus(status, kStatusChecking, "Checking data for download");
  m_nDownloadPhase = kCompare;
  return LoadBLOBData(out, dx470::kImageBase, kReadBackLast);
}

HRESULT CDX470Download::Compare(CDX470Data& data, IStatusSink* status, CDX470Image& out, CDX470Image& in) {
  m_oLog.Trace(TRACE_LEVEL_INFO, "Checksumme erhalten");
  // The block information read back from the device must lie whole inside
  // the segment the host filled.
  const ImageSegment* segment = in.FindImageSegment(CDX470Image::kDeviceMemory, 0, dx470::kImageBase);
  const uint32_t at = segment ? dx470::kImageBase - segment->start : 0;
  if (!segment || !segment->data || segment->length - at < kReadBackLength) {
    TRACE_FAILED(m_oLog, "pImageOut->FindImageSegment", E_UNEXPECTED);
    return E_UNEXPECTED;
  }
  // The block information's checksums cannot tell a byte 0 from a byte 255,
  // so the general bytes are compared as well: another configuration that
  // differs from the remembered one only there is still recognised.
  const uint8_t* readBack = segment->data + at;
  const char* reason = CompleteReason(readBack, data.Blob().Downloaded);
  HRESULT hr;
  if (!reason) {
    hr = PartialDownload(data, status, out);
  } else {
    m_oLog.Trace(TRACE_LEVEL_INFO, "Line:%d - Blockinformationen sind nicht gleich --> komplter Download",
                 __LINE__);
    hr = WriteWholeImage(out, status, reason);
  }
  if (FAILED(hr)) return hr;
  m_nDownloadPhase = kFinish;
  return S_OK;
}

const char* CDX470Download::CompleteReason(const uint8_t* readBack, const dx470::PARAM& remembered) {
  // A copy that was never downloaded is all zero; a blank device reads back
  // zeros too, and must not pass for holding that copy.
  const dx470::BLOCKINFORMATIONEN& block = remembered.Lcd.Block;
  if (block.Identifier != kBlockIdentifier) return "the configuration was never downloaded";
  if (std::memcmp(readBack, &block, kBlockBytes) == 0 &&
      std::memcmp(readBack + kBlockBytes, &remembered.Lcd.General, kGeneralBytes) == 0)
    return nullptr;
  bool blank = true;
  for (uint32_t i = 0; i < kReadBackLength; ++i) blank = blank && readBack[i] == 0;
  if (blank) return "the device holds no configuration";
  if (readBack[0] == kInvalidBlockIdentifier) return "the last download was interrupted";
  return "the device holds another configuration";
}

HRESULT CDX470Download::Finish(CDX470Data& data, IStatusSink* status, CDX470Image& out, SHORT* progress) {
  m_oLog.Trace(TRACE_LEVEL_INFO, "Das Laden ist beendet");
  HRESULT hr = ResetBCU(out);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "ResetBCU", hr);
    return hr;
  }
  m_oLog.Trace(TRACE_LEVEL_INFO, "Restart BCU");
  *progress = 100;

  // Remember what the device now holds; a failed store leaves the project's
  // copy as it was, and the download ends there.
  dx470::TYPE_DX470_BLOB_COMPLETE& blob = data.Blob();
  std::memcpy(&blob.Downloaded, &blob.Current, sizeof(dx470::PARAM));
  hr = data.WriteBlob();
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "poDX470Data->WriteBlob", hr);
    return hr;
  }
  hr = data.EtsSet_FlagParmetersLoaded(1);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "poDX470Data->EtsSet_FlagParmetersLoaded", hr);
    return hr;
  }
  ShowStatus(status, kStatusFinished, "Download of DX 47x finished");
  return DOWNLOAD_S_LAST_STEP;
}
