#pragma once
// The host's side of a device download: calls the plug-in's download step
// (class DX470Hawk) again and again and, between two calls, executes the
// procedure records it returned against the simulated device, or against a
// real device over a DeviceLink given in the options.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/device_link.h"
#include "host/project.h"

namespace host {

// What the user sees while a download runs.
class DownloadObserver {
 public:
  virtual ~DownloadObserver() = default;
  // A status text of the plug-in (kind 1: working, 2: why the whole
  // image is written, 8: finished).
  virtual void Status(int32_t kind, const std::string& text) = 0;
  // Progress in percent, after every executed step.
  virtual void Progress(int percent) = 0;
  // After every telegram of a step's procedure list (and once before the
  // first): what this list has done of what it plans.
  struct Transfer {
    const char* phase = "";  // "reading", "writing", "restarting"
    int step = 0;            // 1-based download step
    uint64_t bytesDone = 0;  // written (or read, when the list writes nothing)
    uint64_t bytesTotal = 0;
    uint32_t telegrams = 0;      // telegrams of the whole download so far
    double lineSecondsLeft = 0;  // the rest of this list by the TP1 line model
  };
  virtual void OnTransfer(const Transfer&) {}
};

// Bus traffic and the least time it takes on a KNX TP1 line (9600 bit/s):
// - a frame of k octets takes 13 bit times per octet (11 bits and a gap of
//   2) plus 76: 50 of idle line before it, 15 before its 1-octet link
//   acknowledgement and 11 for that;
// - writing n ≤ 12 bytes of memory is a frame of 11 + n octets, confirmed
//   by the device's transport acknowledgement (8 octets);
// - reading n ≤ 12 bytes is a request of 11 octets and the device's
//   acknowledgement, then its response of 11 + n octets and ours;
// - opening and closing the connection are one frame of 8 octets each, the
//   restart one of 9 (it ends the connection).
// The device's processing time comes on top, hence "at least".
struct BusTraffic {
  uint64_t bytesWritten = 0;
  uint64_t bytesRead = 0;
  uint64_t bytesVerified = 0;   // read back and compared after writing (part of bytesRead)
  uint32_t writeTelegrams = 0;  // memory-write frames, at most 12 bytes each
  uint32_t readTelegrams = 0;   // memory-read requests
  uint32_t restarts = 0;
  uint32_t connects = 0;
  uint32_t disconnects = 0;
  uint64_t bitTimes = 0;
  int64_t lastWriteAddress = -1;  // last byte written, -1 before the first write

  static constexpr uint32_t kMaxTelegramData = 12;
  static constexpr double kBitRate = 9600.0;
  void AddWrite(uint32_t bytes, uint32_t address = 0);
  void AddRead(uint32_t bytes);
  void AddRestart();
  void AddConnect();
  void AddDisconnect();
  double Seconds() const { return double(bitTimes) / kBitRate; }
};

struct DownloadResult {
  bool succeeded = false;
  // A step wrote every byte of the plug-in's image: the whole configuration.
  bool complete = false;
  // Why the plug-in wrote the whole image (its decision status text).
  std::string completeReason;
  // The mode did not ask for the plug-in's data (bit 0) or for the
  // application data (bit 1 or 0xFF).
  bool pluginDataSkipped = false;
  bool applicationDataSkipped = false;
  // Everything was written but the restart failed: the device does not run
  // the configuration yet.
  bool notRestarted = false;
  int steps = 0;
  double pluginCpuSeconds = 0;  // processor time spent inside the plug-in's Download calls
  bool interrupted = false;     // ended by DownloadOptions::interrupt
  std::string error;            // reported through the status sink, or the host's own error
  BusTraffic plugin;            // traffic of the plug-in's records
  BusTraffic host;              // traffic of the host's own application download
};

// A bus failure to simulate, whichever comes first: the executor stops at
// record `record` (0-based) of download step `step` (1-based), or the
// device stops answering after `telegram` telegrams of the whole download.
struct DownloadFault {
  int step = 0;
  size_t record = SIZE_MAX;
  uint64_t telegram = UINT64_MAX;
};

struct DownloadOptions {
  // The device over a real bus; null: the project's simulated device.
  DeviceLink* link = nullptr;
  // Every written run is read back and compared; a difference stops the
  // download, naming the address and both byte values.
  bool verify = false;
  // Once true (Ctrl-C), no further telegram is sent, the connection is
  // closed and the download fails as a bus failure does.
  const std::atomic<bool>* interrupt = nullptr;
  const DownloadFault* fault = nullptr;
};

// Downloads a device with `mode` (bit 0: the plug-in's data; 0xFF: complete
// without comparison; bit 1: the host's own application data first).
// Device memory keeps what the executed records wrote, also after a failure;
// after a failure the connection is closed.
DownloadResult RunDownload(const Project& project, int64_t deviceId, uint8_t mode, DownloadObserver* observer,
                           const DownloadOptions& options);
DownloadResult RunDownload(const Project& project, int64_t deviceId, uint8_t mode, DownloadObserver* observer,
                           const DownloadFault* fault = nullptr);

// Where the host's own download writes the 33 parameter values.
constexpr uint16_t kApplicationAreaStart = 0x0100;
constexpr uint16_t kApplicationAreaLength = 33;

}  // namespace host
