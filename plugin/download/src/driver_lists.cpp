// The procedure lists of the download driver, and the partial download.
#include <algorithm>

#include "download/driver.h"
#include "hostapi/procedures.h"

namespace {

template <size_t N>
HRESULT Append(CDX470Image& out, const dx470::proc::Record (&records)[N]) {
  return out.AppendProcedure(dx470::proc::kProcedureGuid, records, sizeof records);
}

}  // namespace

HRESULT CDX470Download::LoadBLOBData(CDX470Image& out, uint16_t start, uint16_t end) {
  namespace proc = dx470::proc;
  // Only the read segment goes to the host; it fills data and second buffer.
  out.ClearSegments();
  HRESULT hr = out.AddImageSegment(CDX470Image::kDeviceMemory, 0, start, uint32_t(end - start + 1), true);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "pImageOut->AddImageSegment", hr);
    return hr;
  }
  const proc::Record list[] = {proc::Open(), proc::ReadRange(start, end), proc::Close(), proc::End()};
  hr = Append(out, list);
  if (FAILED(hr)) TRACE_FAILED(m_oLog, "LoadBLOBData", hr);
  return hr;
}

HRESULT CDX470Download::AddImage(CDX470Image& out, uint16_t start, uint16_t end) {
  const dx470::proc::Record list[] = {dx470::proc::WriteRange(start, end)};
  return Append(out, list);
}

HRESULT CDX470Download::InvalidateBlockInformation(CDX470Image& out) {
  constexpr uint32_t below = dx470::kImageBase - 1;
  HRESULT hr = out.AddImageSegment(CDX470Image::kDeviceMemory, 0, below, 2, false);
  ImageSegment* segment =
      SUCCEEDED(hr) ? out.FindImageSegment(CDX470Image::kDeviceMemory, 0, below) : nullptr;
  if (!segment) {
    if (SUCCEEDED(hr)) hr = E_UNEXPECTED;
    TRACE_FAILED(m_oLog, "pImageOut->AddImageSegment", hr);
    return hr;
  }
  segment->data[1] = kInvalidBlockIdentifier;
  return AddImage(out, uint16_t(dx470::kImageBase), uint16_t(dx470::kImageBase));
}

HRESULT CDX470Download::WriteBlockInformation(CDX470Image& out) {
  constexpr uint16_t blockLast = uint16_t(dx470::kImageBase + sizeof(dx470::BLOCKINFORMATIONEN) - 1);
  HRESULT hr = AddImage(out, kIdentifierTelegramEnd + 1, blockLast);
  return SUCCEEDED(hr) ? AddImage(out, uint16_t(dx470::kImageBase), kIdentifierTelegramEnd) : hr;
}

HRESULT CDX470Download::WriteWholeImage(CDX470Image& out, IStatusSink* status, const char* reason) {
  namespace proc = dx470::proc;
  ShowStatus(status, kStatusDecision, reason);
  const proc::Record head[] = {proc::Open()};
  HRESULT hr = Append(out, head);
  if (SUCCEEDED(hr)) hr = InvalidateBlockInformation(out);
  if (SUCCEEDED(hr)) hr = AddImage(out, kIdentifierTelegramEnd + 1, ImageLast());
  if (SUCCEEDED(hr)) hr = AddImage(out, uint16_t(dx470::kImageBase), kIdentifierTelegramEnd);
  const proc::Record tail[] = {proc::Close(), proc::End()};
  if (SUCCEEDED(hr)) hr = Append(out, tail);
  if (FAILED(hr)) TRACE_FAILED(m_oLog, "DownloadBLOBData", hr);
  return hr;
}

HRESULT CDX470Download::ResetBCU(CDX470Image& out) {
  namespace proc = dx470::proc;
  const proc::Record list[] = {proc::Open(), proc::Restart(), proc::AfterRestart(), proc::End()};
  return Append(out, list);
}

HRESULT CDX470Download::PartialDownload(CDX470Data& data, IStatusSink* status, CDX470Image& out) {
  namespace proc = dx470::proc;
  // Image A (current configuration) was built by this step; image B is the
  // configuration the device last received.
  const dx470::ImageResult old = dx470::BuildLcdImage(data.Blob().Downloaded, m_oDownloadedImage);
  if (!old.ok()) {
    // The remembered copy cannot be imaged, so nothing can be compared with
    // it: write everything.
    m_oLog.Trace(TRACE_LEVEL_INFO, "Line:%d - Abbild der geladenen Daten ungueltig --> komplter Download",
                 __LINE__);
    return WriteWholeImage(out, status, "the configuration last downloaded is damaged");
  }

  const proc::Record head[] = {proc::Open()};
  HRESULT hr = Append(out, head);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "AppendProcedure", hr);
    return hr;
  }

  const uint8_t* a = m_oImage.data() + dx470::kImagePrefixSize;
  const uint8_t* b = m_oDownloadedImage.data() + dx470::kImagePrefixSize;
  const uint32_t lengthB = old.length;
  // Bytes past the end of the old image were never written by it.
  auto differs = [&](uint32_t i) { return i >= lengthB || a[i] != b[i]; };
  bool invalidated = false;

  const uint32_t end = std::min<uint32_t>(dx470::kImageBase + m_nImageLength, dx470::kImageEnd);
  for (uint32_t address = dx470::kImageBase; address < end;) {
    const uint32_t i = address - dx470::kImageBase;
    if (!differs(i)) {
      ++address;
      continue;
    }
    uint32_t n = 1;
    for (uint32_t k = 1; k < kMaxRun && address + k < end; ++k)
      if (differs(i + k)) n = k + 1;
    // Before the first changed byte is written, the device stops matching
    // the remembered configuration (see kInvalidBlockIdentifier).
    if (!invalidated) {
      hr = InvalidateBlockInformation(out);
      if (FAILED(hr)) return hr;
      invalidated = true;
    }
    m_oLog.Trace(TRACE_LEVEL_INFO, "Line:%d - Add Segment Startadress %x Anzahl %d", __LINE__,
                 unsigned(address), int(n));
    hr = AddImage(out, uint16_t(address), uint16_t(address + n - 1));
    if (FAILED(hr)) {
      TRACE_FAILED(m_oLog, "AddImage", hr);
      return hr;
    }
    address += n;
  }

  // The block information is written last of all, the telegram with its
  // identifier at the very end.
  hr = WriteBlockInformation(out);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "AddImage", hr);
    return hr;
  }
  const proc::Record tail[] = {proc::Close(), proc::End()};
  hr = Append(out, tail);
  if (FAILED(hr)) TRACE_FAILED(m_oLog, "AppendProcedure", hr);
  return hr;
}
