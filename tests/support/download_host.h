#pragma once
// A small stand-in for the host's side of a download: the download-data
// object, a status sink that records what it is shown, the host's own
// download object (registered in-process) and a simulated device memory
// that executes the procedure records a download step returns.
#include <map>
#include <string>
#include <vector>

#include "com/comptr.h"
#include "hostapi/plugin.h"

namespace testhost {

struct Status {
  LONG kind;
  std::string text;
};
struct ReportedError {
  LONG code;
  std::string description;
};

// A recording status sink.
com::ComPtr<IStatusSink> MakeStatusSink();
const std::vector<Status>& StatusesOf(IStatusSink* sink);
const std::vector<ReportedError>& ErrorsOf(IStatusSink* sink);

// A download-data object whose device is `device`.
com::ComPtr<IUnknown> MakeDownloadData(IUnknown* device);

// What the registered host download object saw and answers.
struct HostDownloadLog {
  int calls = 0;
  BYTE mode = 0;
  HRESULT result = S_OK;  // returned by the next calls
};
HostDownloadLog& HostLog();
// The host's own procedure GUID and the two records its answer holds.
extern const GUID kHostGuid;

// Registers the host download object for the lifetime of the object.
class ScopedHostDownload {
 public:
  ScopedHostDownload();
  ~ScopedHostDownload();
  ScopedHostDownload(const ScopedHostDownload&) = delete;
  ScopedHostDownload& operator=(const ScopedHostDownload&) = delete;

 private:
  DWORD cookie_ = 0;
};

// One write or read the device carried out.
struct Access {
  uint8_t code;
  uint16_t start;
  uint16_t end;
};

// The device: 64 KiB of memory and a restart counter.
struct SimulatedDevice {
  std::vector<uint8_t> memory = std::vector<uint8_t>(65536, 0);
  int restarts = 0;
  // Executes a procedure list (GUID + records) against the memory, using
  // and filling the segments. Lists under another GUID than the plug-in's
  // are only recorded. Returns false on a malformed list.
  bool Execute(ImageSegmentList& segments, IStream* procedures);
  GUID lastGuid{};
  std::vector<uint8_t> lastRecords;  // records of the last list
  std::vector<Access> accesses;      // of the last list
};

// Drives one download: calls Download step after step, executes each
// step's answer and hands the segments back with the next call.
class DownloadRun {
 public:
  DownloadRun(IDeviceDownload* hawk, IUnknown* deviceData, IStatusSink* status, SimulatedDevice* device);
  ~DownloadRun();
  DownloadRun(const DownloadRun&) = delete;
  DownloadRun& operator=(const DownloadRun&) = delete;

  HRESULT Step(BYTE mode);
  SHORT progress = 0;
  bool hadProcedures = false;
  uint32_t segmentCount = 0;

 private:
  IDeviceDownload* hawk_;
  IUnknown* data_;
  IStatusSink* status_;
  SimulatedDevice* device_;
  ImageSegmentList pending_{0, nullptr};
};

// Frees a segment list the host holds.
void FreeSegments(ImageSegmentList& list);

}  // namespace testhost
