// download: downloads a device into its simulated device.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli.h"
#include "download_view.h"
#include "host/download_executor.h"

namespace cli {
namespace {

uint8_t ModeArg(const std::string& text) {
  char* end = nullptr;
  unsigned long v = std::strtoul(text.c_str(), &end, 0);
  // strtoul would also take blanks, a sign and negate: a number starts with a digit.
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) || *end != '\0' || v > 0xFF)
    throw UsageError{"download: --mode takes a number from 0 to 255 (e.g. 1, 3 or 0xFF)"};
  return uint8_t(v);
}

}  // namespace

int CmdDownload(Context& ctx) {
  std::optional<std::string> address;
  std::optional<uint8_t> mode;
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    if (a == "--full" && !mode) {
      mode = 0xFF;
    } else if (a == "--mode" && !mode) {
      mode = ModeArg(OptionValue("download", ctx.args, &i));
    } else if (a.rfind("--", 0) == 0 || address) {
      throw UsageError{"download: unexpected argument " + a + " (give --full or --mode N, not both)"};
    } else {
      address = a;
    }
  }
  if (!address) throw UsageError{"download: the device address is missing"};
  host::PhysicalAddress target = AddressArg("download", *address);

  host::Project project = host::Project::Open(ctx.projectPath);
  int64_t id = project.DeviceAt(target);
  host::DownloadResult result;
  {
    TerminalObserver observer;
    result = host::RunDownload(project, id, mode.value_or(1), &observer);
  }
  if (!result.succeeded) return Fail("download of " + target.ToString() + " failed: " + result.error);
  std::printf("%s\n", DownloadSummary(result).c_str());
  return kSuccess;
}

}  // namespace cli
