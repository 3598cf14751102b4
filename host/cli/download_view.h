#pragma once
// How a download looks on the terminal: status texts, a progress bar when
// standard output is a terminal (plain lines otherwise), and the summary.
#include <string>

#include "host/download_executor.h"

namespace cli {

class TerminalObserver : public host::DownloadObserver {
 public:
  TerminalObserver();
  ~TerminalObserver() override;
  void Status(int32_t kind, const std::string& text) override;
  void Progress(int percent) override;

 private:
  void DrawBar();
  bool tty_;
  int percent_ = 0;
  std::string status_;
};

// "complete" (and why) or "partial", bytes, telegrams and the least line
// time; whether the application data was written.
std::string DownloadSummary(const host::DownloadResult& r);

}  // namespace cli
