#include "download_view.h"

#include <unistd.h>

#include <cstdio>

#include "base/strings.h"
#include "hostapi/download.h"

namespace cli {

TerminalObserver::TerminalObserver() : tty_(isatty(STDOUT_FILENO) == 1) {}

TerminalObserver::~TerminalObserver() {
  if (tty_ && (percent_ > 0 || !status_.empty())) std::printf("\n");
}

void TerminalObserver::Status(int32_t kind, const std::string& text) {
  // Why the whole image is written goes into the summary line.
  if (kind == kStatusKindDecision) return;
  status_ = text;
  if (tty_)
    DrawBar();
  else
    std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

void TerminalObserver::Progress(int percent) {
  percent_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  if (tty_) DrawBar();
  std::fflush(stdout);
}

void TerminalObserver::DrawBar() {
  constexpr int kWidth = 30;
  int filled = percent_ * kWidth / 100;
  std::string bar(size_t(filled), '#');
  bar.append(size_t(kWidth - filled), '.');
  std::printf("\r[%s] %3d%% %-40.40s", bar.c_str(), percent_, status_.c_str());
}

namespace {

std::string Traffic(const host::BusTraffic& t) {
  return base::Format(
      "%llu bytes written in %u memory-write telegrams (at most %u bytes each), %u read telegrams, "
      "%u restart(s); line time at least %.2f s on a KNX TP1 line (9600 bit/s)",
      static_cast<unsigned long long>(t.bytesWritten), t.writeTelegrams,
      host::BusTraffic::kMaxTelegramData, t.readTelegrams, t.restarts, t.Seconds());
}

}  // namespace

std::string DownloadSummary(const host::DownloadResult& r) {
  std::string s;
  if (r.pluginDataSkipped) {
    s = "the display's configuration was not downloaded (the mode's bit 0 asks for it)";
  } else {
    s = r.complete ? "complete download" : "partial download";
    if (r.complete && !r.completeReason.empty()) s += " (" + r.completeReason + ")";
    s += ": " + Traffic(r.plugin);
  }
  if (r.applicationDataSkipped)
    s += "; application data skipped (--mode 3 or --full writes it)";
  else
    s += base::Format("; application data: %llu bytes in %u telegrams, line time at least %.2f s",
                      static_cast<unsigned long long>(r.host.bytesWritten), r.host.writeTelegrams,
                      r.host.Seconds());
  return s;
}

}  // namespace cli
