// Adds DX 47x devices to one project as a host does (the device, then the
// plug-in's OnAddDevide through COM, which stores the default BLOB), then
// reads and rewrites every BLOB through the plug-in's storage calls
// (EtsReadBlob, EtsWriteBlob). Reports the time per device of each step and
// the file size against the raw BLOB bytes; the peer is the same BLOBs
// written to and read from plain files.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <memory>

#include "com/cocreate.h"
#include "com/comptr.h"
#include "com/safearray.h"
#include "data/dx470data.h"
#include "host/project.h"
#include "host/project_objects.h"
#include "host/services.h"
#include "hostapi/plugin.h"
#include "win/file.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kBlobSize = 112292;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

com::Variant Blob(uint8_t seed) {
  SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, kBlobSize);
  {
    com::SafeArrayData data(a);
    uint8_t* b = data.As<uint8_t>();
    for (size_t i = 0; i < kBlobSize; ++i) b[i] = uint8_t(i * 31 + seed);
    b[0] = 0x00, b[1] = 0x00, b[2] = 0x01, b[3] = 0x00;  // version 0x00010000
  }
  com::Variant v;
  v.AttachArray(a);
  return v;
}

bool Check(const char* what, double value, double limit, const char* unit) {
  bool ok = value <= limit;
  std::printf("  %-34s %10.3f %s  (target <= %.2f %s) %s\n", what, value, unit, limit, unit,
              ok ? "ok" : "MISSED");
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: project_bench FOLDER MODULE [DEVICES]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int devices = argc > 3 ? std::atoi(argv[3]) : 1000;
  if (devices < 1 || devices > 16 * 16 * 256) {
    std::fprintf(stderr, "project_bench: DEVICES must be 1..65536\n");
    return 2;
  }
  const std::string path = folder + "/bench.db";
  setenv("DX47X_HOME", folder.c_str(), 1);
  try {
    // The plug-in, registered in the benchmark's own registry.
    host::HostServices services;
    com::ServerModule module;
    if (FAILED(module.Load(argv[2]))) {
      std::fprintf(stderr, "project_bench: %s\n", module.Error().c_str());
      return 1;
    }
    auto registerServer = reinterpret_cast<DllRegisterServerFn>(module.Symbol("DllRegisterServer"));
    com::ComPtr<IDeviceEvents> events;
    if (!registerServer || FAILED(registerServer()) ||
        FAILED(com::CreateInstance(CLSID_DX470DeviceEvent, &events))) {
      std::fprintf(stderr, "project_bench: the plug-in cannot be registered\n");
      return 1;
    }

    host::Project project = host::Project::Create(path, "Benchmark");
    host::DeviceTemplate product = host::Dx47xDeviceTemplate();
    std::vector<std::unique_ptr<CDX470Data>> data(static_cast<size_t>(devices));
    auto t = Clock::now();
    for (int i = 0; i < devices; ++i) {
      host::PhysicalAddress a{i / 4096, (i / 256) % 16, i % 256};
      int64_t id = project.AddDevice(a, product);
      com::ComPtr<IDevice> d;
      if (FAILED(host::MakeDeviceObject(project, id, &d)) || FAILED(events->OnAddDevide(d.Get(), nullptr)))
        return 1;
      data[size_t(i)] = std::make_unique<CDX470Data>();
      if (FAILED(data[size_t(i)]->EtsInit(d.Get()))) return 1;
    }
    double addMs = MsSince(t) / devices;

    t = Clock::now();
    for (auto& d : data)
      if (FAILED(d->EtsReadBlob(&d->Blob()))) return 1;
    double readMs = MsSince(t) / devices;

    t = Clock::now();
    for (auto& d : data) {
      d->Param().Lcd.General.Bytes[0] ^= 1;  // an edit, so that every write changes the value
      if (FAILED(d->EtsWriteBlob(&d->Blob()))) return 1;
    }
    double writeMs = MsSince(t) / devices;

    data.clear();
    com::Variant second = Blob(2);
    uint64_t withJournal = FileSize(path) + FileSize(path + "-wal");
    project.Store().Exec("PRAGMA wal_checkpoint(TRUNCATE);");
    uint64_t size = FileSize(path);
    double ratio = double(size) / (double(devices) * kBlobSize);

    // Peer: the same BLOBs as plain files, written whole and read back.
    com::SafeArrayData bytes(second.parray);
    t = Clock::now();
    for (int i = 0; i < devices; ++i) {
      win::File f;
      if (f.Open(folder + "/peer" + std::to_string(i), win::FileMode::WriteCreate) ||
          f.Write(bytes.Get(), kBlobSize))
        return 1;
    }
    double peerWriteMs = MsSince(t) / devices;
    t = Clock::now();
    for (int i = 0; i < devices; ++i) {
      std::vector<uint8_t> back;
      if (win::ReadWholeFile(folder + "/peer" + std::to_string(i), back) || back.size() != kBlobSize)
        return 1;
    }
    double peerReadMs = MsSince(t) / devices;

    std::printf("project store, %d DX 47x devices, BLOB %zu bytes\n", devices, kBlobSize);
    bool ok = Check("add device (ms per device)", addMs, 5.0, "ms");
    ok &= Check("read BLOB (ms per device)", readMs, 2.0, "ms");
    ok &= Check("rewrite BLOB (ms per device)", writeMs, 2.0, "ms");
    ok &= Check("file size / raw BLOB bytes", ratio, 1.10, "x");
    std::printf("  %-34s %10llu bytes (%llu with the journal before checkpoint)\n", "file size",
                static_cast<unsigned long long>(size), static_cast<unsigned long long>(withJournal));
    std::printf("  %-34s %10.2f x (plain files: %.3f ms)\n", "read vs plain files", readMs / peerReadMs,
                peerReadMs);
    std::printf("  %-34s %10.2f x (plain files: %.3f ms)\n", "rewrite vs plain files", writeMs / peerWriteMs,
                peerWriteMs);
    return ok ? 0 : 1;
  } catch (const host::ProjectError& e) {
    std::fprintf(stderr, "project_bench: %s\n", e.what());
    return 1;
  }
}
