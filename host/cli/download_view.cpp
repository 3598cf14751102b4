#include "download_view.h"

#include <unistd.h>

#include <cstdio>

#include "base/strings.h"

namespace cli {

TerminalObserver::TerminalObserver() : tty_(isatty(STDOUT_FILENO) == 1) {}

TerminalObserver::~TerminalObserver() {
  if (tty_ && (percent_ > 0 || !status_.empty())) std::printf("\n");
}

void TerminalObserver::Status(int32_t, const std::string& text) {
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

std::string DownloadSummary(const host::DownloadResult& r) {
  const host::BusTraffic& t = r.plugin;
  std::string s = base::Format(
      "%s download: %llu bytes written in %u memory-write telegrams (at most %u bytes each), "
      "%u read telegrams, %u restart(s); estimated %.2f s on a KNX TP1 line (9600 bit/s)",
      r.complete ? "complete" : "partial", static_cast<unsigned long long>(t.bytesWritten),
      t.writeTelegrams, host::BusTraffic::kMaxTelegramData, t.readTelegrams, t.restarts, t.Seconds());
  if (r.host.writeTelegrams > 0)
    s += base::Format("; application data: %llu bytes in %u telegrams, %.2f s",
                      static_cast<unsigned long long>(r.host.bytesWritten), r.host.writeTelegrams,
                      r.host.Seconds());
  return s;
}

}  // namespace cli
