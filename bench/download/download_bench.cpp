// For typical edits of a configured display, downloads the change partially
// and the same configuration completely on a second device, and reports the
// bytes and telegrams of the partial download as a ratio of the complete one
// (the peer measured in the same run), and the plug-in's processor time per
// Download call.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "com/comptr.h"
#include "common/plugin_host.h"
#include "data/blockinfo.h"
#include "data/positions.h"
#include "data/records.h"
#include "host/download_executor.h"
#include "host/ext_data_bytes.h"
#include "host/project.h"
#include "host/project_objects.h"
#include "host/services.h"
#include "hostapi/plugin.h"

namespace {

using Blob = dx470::TYPE_DX470_BLOB_COMPLETE;

struct Device {
  int64_t id = 0;
  com::ComPtr<IDevice> object;
};

bool ReadBlob(Device& d, Blob& blob) {
  std::vector<uint8_t> bytes;
  if (FAILED(host::ReadExtDataBytes(d.object.Get(), dx47x::blob::kKeyWide, &bytes)) ||
      bytes.size() != sizeof blob)
    return false;
  std::memcpy(&blob, bytes.data(), sizeof blob);
  return true;
}

bool WriteBlob(Device& d, const Blob& blob) {
  return SUCCEEDED(host::WriteExtDataBytes(d.object.Get(), dx47x::blob::kKeyWide, &blob, sizeof blob));
}

void SetText(dx470::PARAM& p, int slot, const char* text) {
  std::memset(p.Lcd.Messages[slot].Text[0], 0, 30);
  std::memcpy(p.Lcd.Messages[slot].Text[0], text, std::strlen(text));
}

struct Edit {
  const char* name;
  std::function<void(dx470::PARAM&)> apply;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: download_bench FOLDER MODULE\n");
    return 2;
  }
  const std::string folder = argv[1];
  bench::PluginHost plugin(folder, argv[2], "download_bench");
  if (!plugin.Ready()) return 1;
  try {
    host::Project project = host::Project::Create(folder + "/bench.db", "Benchmark");
    Device partial, complete;
    int n = 0;
    for (Device* d : {&partial, &complete})
      if (!plugin.AddDevice(project, {1, 1, ++n}, d->id, d->object)) return 1;

    // A typical configuration: eight messages of several kinds.
    auto blob = std::make_unique<Blob>();
    ReadBlob(partial, *blob);
    const uint8_t kinds[] = {1, 2, 3, 4, 5, 6, 9, 12};
    for (int slot = 0; slot < 8; ++slot) {
      dx470::DefineMessage(blob->Current, slot, kinds[slot], 0, false, "Text?");
      SetText(blob->Current, slot, ("Message number " + std::to_string(slot + 1)).c_str());
    }
    dx470::UpdateBlockInformation(blob->Current);
    WriteBlob(partial, *blob);
    if (!host::RunDownload(project, partial.id, 0xFF, nullptr).succeeded) return 1;

    const Edit edits[] = {
        {"one character", [](dx470::PARAM& p) { p.Lcd.Messages[0].Text[0][0] = 'm'; }},
        {"one message added",
         [](dx470::PARAM& p) {
           dx470::DefineMessage(p, 8, 8, 8, true, "Text?");
           SetText(p, 8, "Visitors today");
         }},
        {"general parameters",
         [](dx470::PARAM& p) {
           p.Lcd.General.Bytes[1] = 128;
           p.Lcd.General.Bytes[7] = 30;
         }},
        {"one font glyph", [](dx470::PARAM& p) { p.Lcd.Fonts[0].Glyphs['A' - 32].Bitmap[5] ^= 0x40; }},
    };
    std::printf("%-20s %9s %9s %9s %9s %9s %11s\n", "edit", "bytes", "complete", "telegr.", "complete",
                "ratio", "ms/call");
    bool ok = true;
    for (const Edit& e : edits) {
      ReadBlob(partial, *blob);
      e.apply(blob->Current);
      dx470::UpdateBlockInformation(blob->Current);
      WriteBlob(partial, *blob);
      host::DownloadResult p = host::RunDownload(project, partial.id, 1, nullptr);
      // The peer: the same configuration downloaded completely.
      ReadBlob(partial, *blob);
      WriteBlob(complete, *blob);
      host::DownloadResult c = host::RunDownload(project, complete.id, 0xFF, nullptr);
      if (!p.succeeded || !c.succeeded || p.complete) {
        std::fprintf(stderr, "download_bench: %s: %s%s\n", e.name, p.error.c_str(), c.error.c_str());
        return 1;
      }
      double ratio = double(p.plugin.writeTelegrams + p.plugin.readTelegrams) /
                     double(c.plugin.writeTelegrams + c.plugin.readTelegrams);
      double msPerCall = 1000.0 * (p.pluginCpuSeconds + c.pluginCpuSeconds) / (p.steps + c.steps);
      std::printf("%-20s %9llu %9llu %9u %9u %8.2f%% %11.3f\n", e.name,
                  static_cast<unsigned long long>(p.plugin.bytesWritten),
                  static_cast<unsigned long long>(c.plugin.bytesWritten),
                  p.plugin.writeTelegrams + p.plugin.readTelegrams,
                  c.plugin.writeTelegrams + c.plugin.readTelegrams, 100 * ratio, msPerCall);
      if (std::string(e.name) == "one character" && ratio >= 0.01) ok = false;
      if (msPerCall >= 5.0) ok = false;
    }
    std::printf(
        "targets: one character < 1%% of the complete download's telegrams; each Download "
        "call < 5 ms: %s\n",
        ok ? "ok" : "MISSED");
    return ok ? 0 : 1;
  } catch (const host::ProjectError& e) {
    std::fprintf(stderr, "download_bench: %s\n", e.what());
    return 1;
  }
}
