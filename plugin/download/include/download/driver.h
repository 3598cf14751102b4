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
  // Longest run of changed bytes written by one record: one telegram.
  static constexpr uint32_t kMaxRun = 12;
  // Status kinds passed to the status sink.
  static constexpr LONG kStatusChecking = kStatusKindWorking;
  static constexpr LONG kStatusDecision = kStatusKindDecision;
  static constexpr LONG kStatusFinished = kStatusKindFinished;
  // Block identifier written first by every download that changes the
  // image: until the real block information is written last, the device
  // matches no configuration, so an interrupted download is always
  // followed by a complete one.
  static constexpr uint8_t kInvalidBlockIdentifier = 0;
  // The identifier goes out in one telegram with the block bytes up to
  // this address, after every other byte of the download: a download cut
  // at any telegram leaves it invalid.
  static constexpr uint16_t kIdentifierTelegramEnd = uint16_t(dx470::kImageBase + kMaxRun - 1);
  // Read back before a partial download: the block information and the 15
  // general bytes behind it (their checksum cannot tell 0 from 255).
  static constexpr uint16_t kReadBackLength =
      uint16_t(sizeof(dx470::BLOCKINFORMATIONEN) + sizeof(dx470::ALLGEMEINE));

  CDX470Download();
  CDX470Download(const CDX470Download&) = delete;
  CDX470Download& operator=(const CDX470Download&) = delete;

  // One step. `first` starts a new download at the prepare phase. Returns
  // S_OK for an intermediate step, DOWNLOAD_S_LAST_STEP for the last one,
  // or the failure.
  HRESULT Download(CDX470Data* poDX470Data, IStatusSink* status, BYTE mode, CDX470Image* pImageOut,
                   CDX470Image* pImageIn, bool first, SHORT* progress);

  int32_t DownloadPhase() const { return m_nDownloadPhase; }
  // Translated text of the last failure when its result code alone would
  // not tell the user what is wrong (a configuration too large for the
  // device, a damaged font); empty otherwise.
  const std::string& ErrorText() const { return m_strErrorText; }

 private:
  HRESULT Prepare(CDX470Data& data, IStatusSink* status, BYTE mode, CDX470Image& out);
  HRESULT Compare(CDX470Data& data, IStatusSink* status, CDX470Image& out, CDX470Image& in);
  HRESULT Finish(CDX470Data& data, IStatusSink* status, CDX470Image& out, SHORT* progress);

  // Procedure lists (download/driver_lists.cpp).
  HRESULT LoadBLOBData(CDX470Image& out, uint16_t start, uint16_t end);
  HRESULT AddImage(CDX470Image& out, uint16_t start, uint16_t end);
  // Adds a one-byte segment holding kInvalidBlockIdentifier and the write
  // of it to the block identifier. The segment starts one byte below the
  // image, so the write is held whole by it alone.
  HRESULT InvalidateBlockInformation(CDX470Image& out);
  // The block information in two writes, the one with the identifier last.
  HRESULT WriteBlockInformation(CDX470Image& out);
  // The whole image, block information last, after the invalidation.
  HRESULT WriteWholeImage(CDX470Image& out, IStatusSink* status, const char* reason);
  HRESULT ResetBCU(CDX470Image& out);
  HRESULT PartialDownload(CDX470Data& data, IStatusSink* status, CDX470Image& out);

  void ShowStatus(IStatusSink* status, LONG kind, const char* key) const;
  // Why the device's read-back differs from the remembered copy.
  static const char* CompleteReason(const uint8_t* readBack, const dx470::PARAM& remembered);
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
