// download: downloads a device into its simulated device, or over a KNX bus
// into the real device (--bus).
#include <signal.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "bus/bus_device_link.h"
#include "bus/link.h"
#include "cli.h"
#include "download_view.h"
#include "host/download_executor.h"

namespace cli {
namespace {

std::atomic<bool> gInterrupted{false};
void OnInterrupt(int) { gInterrupted = true; }

// Ctrl-C sets the flag instead of ending the process while it is in scope.
class InterruptScope {
 public:
  InterruptScope() {
    gInterrupted = false;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptScope() { sigaction(SIGINT, &previous_, nullptr); }

 private:
  struct sigaction previous_ {};
};

uint8_t ModeArg(const std::string& text) {
  char* end = nullptr;
  unsigned long v = std::strtoul(text.c_str(), &end, 0);
  // strtoul would also take blanks, a sign and negate: a number starts with a digit.
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) || *end != '\0' || v > 0xFF)
    throw UsageError{"download: --mode takes a number from 0 to 255 (e.g. 1, 3 or 0xFF)"};
  return uint8_t(v);
}

uint32_t KeyArg(const std::string& text) {
  std::string digits = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0 ? text.substr(2) : text;
  bool ok = !digits.empty() && digits.size() <= 8;
  for (char c : digits) ok = ok && std::isxdigit(static_cast<unsigned char>(c));
  if (!ok) throw UsageError{"download: --key takes up to 8 hexadecimal digits (e.g. FFFFFFFF)"};
  return uint32_t(std::strtoul(digits.c_str(), nullptr, 16));
}

}  // namespace

int CmdDownload(Context& ctx) {
  std::optional<std::string> address, bus;
  std::optional<uint8_t> mode;
  std::optional<uint32_t> key;
  bool verify = false, quiet = false;
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    if (a == "--full" && !mode) {
      mode = 0xFF;
    } else if (a == "--mode" && !mode) {
      mode = ModeArg(OptionValue("download", ctx.args, &i));
    } else if (a == "--bus" && !bus) {
      bus = OptionValue("download", ctx.args, &i);
    } else if (a == "--key" && !key) {
      key = KeyArg(OptionValue("download", ctx.args, &i));
    } else if (a == "--verify") {
      verify = true;
    } else if (a == "--quiet") {
      quiet = true;
    } else if (a.rfind("--", 0) == 0 || address) {
      throw UsageError{"download: unexpected argument " + a +
                       " (give --full or --mode N, not both; --bus, --key once)"};
    } else {
      address = a;
    }
  }
  if (!address) throw UsageError{"download: the device address is missing"};
  host::PhysicalAddress target = AddressArg("download", *address);
  if (key && !bus) throw UsageError{"download: --key is for a download over the bus (--bus)"};

  host::Project project = host::Project::Open(ctx.projectPath);
  int64_t id = project.DeviceAt(target);

  InterruptScope interruptScope;
  std::unique_ptr<bus::BusDeviceLink> link;
  if (bus) {
    std::string error;
    std::unique_ptr<bus::Link> busLink = bus::OpenLink(*bus, error);
    if (!busLink) return Fail("download of " + target.ToString() + " failed: " + error);
    bus::DeviceOptions options;
    if (key) options.key = *key;
    options.interrupt = &gInterrupted;
    const uint16_t device = uint16_t(target.area << 12 | target.line << 8 | target.device);
    link = std::make_unique<bus::BusDeviceLink>(std::move(busLink), device, options);
  }
  host::DownloadOptions options;
  options.link = link.get();
  options.verify = verify;
  options.interrupt = &gInterrupted;
  const auto start = std::chrono::steady_clock::now();
  host::DownloadResult result;
  {
    TerminalObserver observer(quiet);
    result = host::RunDownload(project, id, mode.value_or(1), &observer, options);
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string line = link ? BusSummary(*link, elapsed) : std::string();
  if (!result.succeeded) {
    if (!line.empty() && !quiet) std::fprintf(stderr, "%s\n", line.c_str());
    return Fail("download of " + target.ToString() + (result.interrupted ? " interrupted: " : " failed: ") +
                result.error);
  }
  std::printf("%s\n", DownloadSummary(result).c_str());
  if (!line.empty()) std::printf("%s\n", line.c_str());
  return kSuccess;
}

}  // namespace cli
