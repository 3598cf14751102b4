#pragma once
// The download driver: one step of a display download per call. It decides
// between a partial download (only the bytes that changed since the last
// download) and a complete one by reading back the device's block
// information, and finishes by restarting the device and remembering the
// downloaded configuration.
#include <string>

#include "data/dx470data.h"
#include "download/image.h"
#include "download/lcdimage.h"
#include "hostapi/download.h"
#include "logger/logger.h"

class CDX470Download {
 public:
  enum Phase : int32_t { kPrepare = 0, kCompare = 1, kFinish = 2 };
  // Status kinds passed to the status sink.
  static constexpr LONG kStatusChecking = 1;
  static constexpr LONG kStatusFinished = 8;
  // Longest run of changed bytes written by one record.
  static constexpr uint32_t kMaxRun = 12;

  CDX470Download();
  CDX470Download(const CDX470Download&) = delete;
  CDX470Download& operator=(const CDX470Download&) = delete;

  // One step. `first` starts a new download at the prepare phase. Returns
  // S_OK for an intermediate step, DOWNLOAD_S_LAST_STEP for the last one,
  // or the failure.
  HRESULT Download(CDX470Data* poDX470Data, IStatusSink* status, BYTE mode, CDX470Image* pImageOut,
                   CDX470Image* pImageIn, bool first, SHORT* progress);

  int32_t DownloadPhase() const { return m_nDownloadPhase; }
  // English text of the last failure when its result code alone would not
  // tell the user what is wrong (a configuration too large for the
  // device); empty otherwise.
  const std::string& ErrorText() const { return m_strErrorText; }

 private:
  HRESULT Prepare(CDX470Data& data, IStatusSink* status, BYTE mode, CDX470Image& out);
  HRESULT Compare(CDX470Data& data, CDX470Image& out, CDX470Image& in);
  HRESULT Finish(CDX470Data& data, IStatusSink* status, CDX470Image& out, SHORT* progress);

  // Procedure lists (download/driver_lists.cpp).
  HRESULT LoadBLOBData(CDX470Image& out, uint16_t start, uint16_t end);
  HRESULT DownloadBLOBData(CDX470Image& out, uint16_t start, uint16_t end);
  HRESULT AddImage(CDX470Image& out, uint16_t start, uint16_t end);
  HRESULT ResetBCU(CDX470Image& out);
  HRESULT PartialDownload(CDX470Data& data, CDX470Image& out);

  void ShowStatus(IStatusSink* status, LONG kind, const char* key) const;
  // Last address of the whole LCD image.
  uint16_t ImageLast() const { return uint16_t(dx470::kImageBase + m_nImageLength - 1); }

  CLogger m_oLog;
  int32_t m_nDownloadPhase = kPrepare;
  std::string m_strErrorText;
  // Device image of the current configuration and, for the partial
  // download, of the downloaded copy.
  dx470::ImageBuffer m_oImage{};
  dx470::ImageBuffer m_oDownloadedImage{};
  uint16_t m_nImageLength = 0;
};
