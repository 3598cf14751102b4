#pragma once
// The host's side of a device download: calls the plug-in's download step
// (class DX470Hawk) again and again and, between two calls, executes the
// procedure records it returned against the simulated device.
#include <cstdint>
#include <string>

#include "host/project.h"

namespace host {

// What the user sees while a download runs.
class DownloadObserver {
 public:
  virtual ~DownloadObserver() = default;
  // A status text of the plug-in (kind 1: working, 8: finished).
  virtual void Status(int32_t kind, const std::string& text) = 0;
  // Progress in percent, after every executed step.
  virtual void Progress(int percent) = 0;
};

// Bus traffic and its duration on a KNX TP1 line, by this model:
// - 9600 bit/s; a byte is one character of 11 bits (start, 8 data, parity,
//   stop) followed by 2 bit times of pause: 13 bit times;
// - every frame waits 50 bit times of idle line before it and is answered by
//   a 1-byte acknowledgement 15 bit times after it;
// - writing n ≤ 12 bytes of memory is one memory-write frame of 12 + n bytes
//   (6 header, 2 transport/application control, 1 count, 2 address, 1
//   checksum), confirmed by the device with a transport acknowledgement frame
//   of 8 bytes;
// - reading n ≤ 12 bytes is a read request of 12 bytes, the device's
//   response of 12 + n bytes, and our transport acknowledgement of 8 bytes;
// - a restart is one frame of 9 bytes.
struct BusTraffic {
  uint64_t bytesWritten = 0;
  uint64_t bytesRead = 0;
  uint32_t writeTelegrams = 0;  // memory-write frames, at most 12 bytes each
  uint32_t readTelegrams = 0;   // memory-read requests
  uint32_t restarts = 0;
  uint64_t bitTimes = 0;

  static constexpr uint32_t kMaxTelegramData = 12;
  static constexpr double kBitRate = 9600.0;
  void AddWrite(uint32_t bytes);
  void AddRead(uint32_t bytes);
  void AddRestart();
  double Seconds() const { return double(bitTimes) / kBitRate; }
};

struct DownloadResult {
  bool succeeded = false;
  // A write of the plug-in's image that covered more than the block
  // information: the whole configuration was written.
  bool complete = false;
  int steps = 0;
  double pluginCpuSeconds = 0;  // processor time spent inside the plug-in's Download calls
  std::string error;  // reported through the status sink, or the host's own error
  BusTraffic plugin;  // traffic of the plug-in's records
  BusTraffic host;    // traffic of the host's own application download
};

// A bus failure to simulate: the executor stops at record `record` (0-based)
// of download step `step` (1-based), as if the device stopped answering.
struct DownloadFault {
  int step = 0;
  size_t record = 0;
};

// Downloads a device with `mode` (bit 0: the plug-in's data; 0xFF: complete
// without comparison; bit 1: the host's own application data first).
// Device memory keeps what the executed records wrote, also after a failure.
DownloadResult RunDownload(const Project& project, int64_t deviceId, uint8_t mode,
                           DownloadObserver* observer, const DownloadFault* fault = nullptr);

// Where the host's own download writes the 33 parameter values.
constexpr uint16_t kApplicationAreaStart = 0x0100;
constexpr uint16_t kApplicationAreaLength = 33;

}  // namespace host
