#pragma once
// The host's download machinery as the plug-in's download step meets it:
// the download-data object, the status sink, the host's own download object,
// and the memory segments exchanged between them.
#include <cstddef>

#include "com/errorinfo.h"
#include "com/stream.h"
#include "com/unknown.h"
#include "hostapi/device.h"

// One memory segment. On this 64-bit platform the two buffer pointers are
// pointer-sized, so the record is 32 bytes:
//   0 type (u32; 2 = device memory)   4 identifier (two u16, types 4 and 5)
//   8 start address (u32)            12 length in bytes (u32)
//  16 data (length bytes, task memory, zero-filled on creation)
//  24 second buffer of the same length (task memory) or null; the host fills
//     it, and the data buffer, when it reads the device.
struct ImageSegment {
  uint32_t type;
  uint32_t identifier;
  uint32_t start;
  uint32_t length;
  uint8_t* data;
  uint8_t* second;
};
static_assert(sizeof(ImageSegment) == 32);
static_assert(offsetof(ImageSegment, data) == 16 && offsetof(ImageSegment, second) == 24);

// A segment list {count, array}; the array and its buffers are task memory
// and change owner with the call that hands them over.
struct ImageSegmentList {
  uint32_t count;
  ImageSegment* segments;
};

struct IDownloadData : IUnknown {
  virtual HRESULT get_DeviceRef(IUnknown** device) = 0;
  static constexpr IID iid = MakeGuid("39B2D5AB-F0EA-419E-ACEA-0B092A50ACDE");
};

// Kinds of status text a download shows.
constexpr LONG kStatusKindWorking = 1;   // a phase begins ("Checking data for download")
constexpr LONG kStatusKindDecision = 2;  // why the whole image is written
constexpr LONG kStatusKindFinished = 8;  // the download ended

// Progress and error reports of a download.
struct IStatusSink : IUnknown {
  // Shows a progress text (the plug-in passes 0, 100, a kind and the text).
  virtual HRESULT ShowStatus(LONG value, LONG range, LONG kind, const OLECHAR* text) = 0;
  // Sets the progress position (0..100).
  virtual HRESULT SetProgress(LONG position) = 0;
  // Reports an error (the plug-in passes 0x80000008, the error and 0).
  virtual HRESULT ReportError(LONG code, IErrorInfo* error, LONG reserved) = 0;
  static constexpr IID iid = MakeGuid("A61288F7-A105-4CB2-80B0-ADE2938549E4");
};

constexpr CLSID CLSID_HostDownload = MakeGuid("67867306-EB66-4D61-B43D-766D63D44F29");

// The host's own download of a device's application data.
struct IHostDownload : IUnknown {
  virtual HRESULT Download(IUnknown* deviceData, LONG a2, LONG a3, IStatusSink* status, BYTE mode,
                           ImageSegmentList* imageOut, IStream** procedures) = 0;
  static constexpr IID iid = MakeGuid("D1FDC679-5C55-45FA-AB9D-D00D923A5B69");
};
