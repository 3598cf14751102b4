#pragma once
// How a download looks on the terminal: status texts and, on standard error,
// a progress bar when it is a terminal (a plain line per phase otherwise);
// and the summary.
#include <chrono>
#include <string>

#include "bus/bus_device_link.h"
#include "host/download_executor.h"

namespace cli {

class TerminalObserver : public host::DownloadObserver {
 public:
  // `quiet`: nothing is shown.
  explicit TerminalObserver(bool quiet = false);
  ~TerminalObserver() override;
  void Status(int32_t kind, const std::string& text) override;
  void Progress(int percent) override;
  void OnTransfer(const Transfer& t) override;

 private:
  void DrawBar();
  bool quiet_;
  bool tty_;
  bool drawn_ = false;
  int percent_ = 0;
  std::string status_;
  Transfer transfer_;
  int announcedStep_ = 0;
  std::chrono::steady_clock::time_point start_;
};

// "complete" (and why) or "partial", bytes, telegrams and the least line
// time; whether the application data was written.
std::string DownloadSummary(const host::DownloadResult& r);
// Frames on the bus, repetitions, line time by the TP1 model and the time
// it took.
std::string BusSummary(const bus::BusDeviceLink& link, double elapsedSeconds);

}  // namespace cli
