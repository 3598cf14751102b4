// Downloads over a bus (knxd, to the device emulator) and the TP1 line
// model for the same frames, measured in the same run.
//   bus_bench FOLDER MODULE BUS ADDRESS paced    the emulator paces a TP1 line:
//       wall time of a complete, a one-character partial and a verified
//       one-character partial download against the line model of the
//       frames each exchanged (target: within 10 %)
//   bus_bench FOLDER MODULE BUS ADDRESS unpaced  no pacing: processor time of
//       this process per telegram (target: under 0.2 ms), and the line time
//       of a complete download with --verify against without
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bus/bus_device_link.h"
#include "bus/link.h"
#include "com/comptr.h"
#include "common/plugin_host.h"
#include "data/blockinfo.h"
#include "data/records.h"
#include "host/download_executor.h"
#include "host/ext_data_bytes.h"
#include "host/project.h"
#include "host/project_objects.h"
#include "host/services.h"
#include "hostapi/plugin.h"

namespace {

using Blob = dx470::TYPE_DX470_BLOB_COMPLETE;

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Run {
  host::DownloadResult result;
  bus::LineStats line;  // the frames of this download alone
  double wall = 0;
  double cpu = 0;
  uint32_t Telegrams() const {
    const host::BusTraffic& p = result.plugin;
    const host::BusTraffic& h = result.host;
    return p.writeTelegrams + p.readTelegrams + p.connects + p.restarts + h.writeTelegrams + h.readTelegrams +
           h.connects + h.restarts;
  }
};

class Bench {
 public:
  Bench(host::Project& project, int64_t id, com::ComPtr<IDevice> object, std::string bus, uint16_t address)
      : project_(project), id_(id), object_(std::move(object)), bus_(std::move(bus)), address_(address) {}

  bool Download(uint8_t mode, bool verify, Run& run) {
    std::string error;
    std::unique_ptr<bus::Link> link = bus::OpenLink(bus_, error);
    if (!link) {
      std::fprintf(stderr, "bus_bench: %s\n", error.c_str());
      return false;
    }
    bus::BusDeviceLink device(std::move(link), address_);
    host::DownloadOptions options;
    options.link = &device;
    options.verify = verify;
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    run.result = host::RunDownload(project_, id_, mode, nullptr, options);
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.cpu = ProcessCpuSeconds() - cpu0;
    run.line = device.Line();
    if (!run.result.succeeded) std::fprintf(stderr, "bus_bench: %s\n", run.result.error.c_str());
    return run.result.succeeded;
  }

  // One more character of the first message changed.
  bool ChangeOneCharacter() {
    std::vector<uint8_t> bytes;
    if (FAILED(host::ReadExtDataBytes(object_.Get(), dx47x::blob::kKeyWide, &bytes)) ||
        bytes.size() != sizeof(Blob))
      return false;
    auto* blob = reinterpret_cast<Blob*>(bytes.data());
    blob->Current.Lcd.Messages[0].Text[0][0] = char('a' + (++edits_ % 26));
    dx470::UpdateBlockInformation(blob->Current);
    return SUCCEEDED(
        host::WriteExtDataBytes(object_.Get(), dx47x::blob::kKeyWide, bytes.data(), bytes.size()));
  }

 private:
  host::Project& project_;
  int64_t id_;
  com::ComPtr<IDevice> object_;
  std::string bus_;
  uint16_t address_;
  int edits_ = 0;
};

void Row(const char* name, const Run& r, bool paced) {
  const double model = r.line.Seconds();
  if (paced)
    std::printf("%-34s %7llu %8llu %10.2f %10.2f %+8.1f%%\n", name,
                static_cast<unsigned long long>(r.result.plugin.bytesWritten),
                static_cast<unsigned long long>(r.line.framesSent + r.line.framesReceived), model, r.wall,
                100.0 * (r.wall - model) / model);
  else
    std::printf("%-34s %7llu %9u %10.2f %10.3f %12.4f\n", name,
                static_cast<unsigned long long>(r.result.plugin.bytesWritten), r.Telegrams(), model, r.wall,
                1000.0 * r.cpu / r.Telegrams());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: bus_bench FOLDER MODULE BUS ADDRESS paced|unpaced\n");
    return 2;
  }
  const std::string folder = argv[1], bus = argv[3], how = argv[5];
  uint16_t address = 0;
  if (!bus::ParseAddress(argv[4], address) || (how != "paced" && how != "unpaced")) {
    std::fprintf(stderr, "usage: bus_bench FOLDER MODULE BUS ADDRESS paced|unpaced\n");
    return 2;
  }
  const bool paced = how == "paced";
  bench::PluginHost plugin(folder, argv[2], "bus_bench");
  if (!plugin.Ready()) return 1;
  try {
    host::Project project = host::Project::Create(folder + "/bench.db", "Benchmark");
    int64_t id = 0;
    com::ComPtr<IDevice> object;
    if (!plugin.AddDevice(project, {address >> 12, (address >> 8) & 0x0F, address & 0xFF}, id, object))
      return 1;
    Bench bench(project, id, object, bus, address);
    bool ok = true;
    if (paced) {
      std::printf("TP1-paced emulator through %s\n", bus.c_str());
      std::printf("%-34s %7s %8s %10s %10s %9s\n", "download", "bytes", "frames", "model s", "measured s",
                  "diff");
      Run complete, partial, verified;
      if (!bench.Download(1, false, complete)) return 1;
      Row("complete", complete, true);
      if (!bench.ChangeOneCharacter() || !bench.Download(1, false, partial)) return 1;
      Row("partial, one character", partial, true);
      if (!bench.ChangeOneCharacter() || !bench.Download(1, true, verified)) return 1;
      Row("partial, one character, --verify", verified, true);
      for (const Run* r : {&complete, &partial, &verified})
        ok = ok && r->wall <= 1.10 * r->line.Seconds() && r->wall >= 0.90 * r->line.Seconds();
      std::printf("line time of the partial download with --verify: %.2f s against %.2f s without (x%.2f)\n",
                  verified.line.Seconds(), partial.line.Seconds(),
                  verified.line.Seconds() / partial.line.Seconds());
      std::printf("target: each measured time within 10%% of the line model: %s\n", ok ? "ok" : "MISSED");
    } else {
      std::printf("unpaced emulator through %s\n", bus.c_str());
      std::printf("%-34s %7s %9s %10s %10s %12s\n", "download", "bytes", "telegr.", "model s", "wall s",
                  "cpu ms/tel.");
      Run complete, verified, partial;
      if (!bench.Download(0xFF, false, complete)) return 1;
      Row("complete", complete, false);
      if (!bench.Download(0xFF, true, verified)) return 1;
      Row("complete, --verify", verified, false);
      if (!bench.ChangeOneCharacter() || !bench.Download(1, false, partial)) return 1;
      Row("partial, one character", partial, false);
      const double cpuPerTelegram = 1000.0 * complete.cpu / complete.Telegrams();
      const double pluginPerTelegram = 1000.0 * complete.result.pluginCpuSeconds / complete.Telegrams();
      std::printf(
          "processor time per telegram of the complete download: %.4f ms (%.4f ms of it in the plug-in)\n",
          cpuPerTelegram, pluginPerTelegram);
      std::printf("line time of the complete download with --verify: %.2f s against %.2f s without (x%.2f)\n",
                  verified.line.Seconds(), complete.line.Seconds(),
                  verified.line.Seconds() / complete.line.Seconds());
      ok = cpuPerTelegram < 0.2;
      std::printf("target: processor time per telegram < 0.2 ms: %s\n", ok ? "ok" : "MISSED");
    }
    return ok ? 0 : 1;
  } catch (const host::ProjectError& e) {
    std::fprintf(stderr, "bus_bench: %s\n", e.what());
    return 1;
  }
}
