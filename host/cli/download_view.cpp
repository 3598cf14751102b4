#include "download_view.h"

#include <unistd.h>

#include <cstdio>

#include "base/strings.h"
#include "hostapi/download.h"

namespace cli {

namespace {

std::string Clock(double seconds) {
  const long s = long(seconds + 0.5);
  return s >= 3600 ? base::Format("%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60)
                   : base::Format("%ld:%02ld", s / 60, s % 60);
}

}  // namespace

TerminalObserver::TerminalObserver(bool quiet)
    : quiet_(quiet), tty_(isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {}

TerminalObserver::~TerminalObserver() {
  if (tty_ && drawn_) std::fprintf(stderr, "\n");
}

void TerminalObserver::Status(int32_t kind, const std::string& text) {
  // Why the whole image is written goes into the summary line.
  if (kind == kStatusKindDecision || quiet_) return;
  status_ = text;
  if (tty_)
    DrawBar();
  else
    std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

void TerminalObserver::Progress(int percent) {
  percent_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  if (tty_ && !quiet_) DrawBar();
  std::fflush(stderr);
}

void TerminalObserver::OnTransfer(const Transfer& t) {
  if (quiet_) return;
  transfer_ = t;
  if (tty_) {
    DrawBar();
  } else if (t.step != announcedStep_ && t.bytesTotal > 0) {
    // One line as each list with data begins.
    announcedStep_ = t.step;
    std::fprintf(stderr, "step %d: %s %llu bytes, at least %.1f s on a TP1 line\n", t.step, t.phase,
                 static_cast<unsigned long long>(t.bytesTotal), t.lineSecondsLeft);
  }
  std::fflush(stderr);
}

void TerminalObserver::DrawBar() {
  constexpr int kWidth = 24;
  const Transfer& t = transfer_;
  // Within a list with data, the bar shows its bytes; otherwise the steps.
  const int percent = t.bytesTotal > 0 ? int(t.bytesDone * 100 / t.bytesTotal) : percent_;
  const int filled = percent * kWidth / 100;
  std::string bar(size_t(filled), '#');
  bar.append(size_t(kWidth - filled), '.');
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string detail;
  if (t.bytesTotal > 0)
    detail = base::Format("%s %llu/%llu bytes, %u telegrams, %s elapsed, ~%s left", t.phase,
                          static_cast<unsigned long long>(t.bytesDone),
                          static_cast<unsigned long long>(t.bytesTotal), t.telegrams, Clock(elapsed).c_str(),
                          Clock(t.lineSecondsLeft).c_str());
  else
    detail = status_;
  std::fprintf(stderr, "\r[%s] %3d%% %s\033[K", bar.c_str(), percent, detail.c_str());
  drawn_ = true;
}

namespace {

std::string Traffic(const host::BusTraffic& t) {
  std::string s = base::Format(
      "%llu bytes written in %u memory-write telegrams (at most %u bytes each), %u read telegrams, "
      "%u restart(s); line time at least %.2f s on a KNX TP1 line (9600 bit/s)",
      static_cast<unsigned long long>(t.bytesWritten), t.writeTelegrams, host::BusTraffic::kMaxTelegramData,
      t.readTelegrams, t.restarts, t.Seconds());
  if (t.bytesVerified > 0)
    s +=
        base::Format("; %llu bytes read back and verified", static_cast<unsigned long long>(t.bytesVerified));
  return s;
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

std::string BusSummary(const bus::BusDeviceLink& link, double elapsedSeconds) {
  const bus::LineStats& l = link.Line();
  return base::Format(
      "bus %s, device %s: %llu frames sent, %llu received, %llu repeated, %llu connection(s); "
      "line time %.2f s by the TP1 model, %.2f s elapsed",
      link.Name().c_str(), bus::AddressText(link.Device()).c_str(),
      static_cast<unsigned long long>(l.framesSent), static_cast<unsigned long long>(l.framesReceived),
      static_cast<unsigned long long>(l.repetitions), static_cast<unsigned long long>(link.Connections()),
      l.Seconds(), elapsedSeconds);
}

}  // namespace cli
