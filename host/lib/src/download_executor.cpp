#include "host/download_executor.h"

#include <algorithm>
#include <ctime>
#include <cstring>
#include <optional>
#include <vector>

#include "base/strings.h"
#include "com/cocreate.h"
#include "com/comptr.h"
#include "com/errorinfo.h"
#include "com/memory.h"
#include "com/object.h"
#include "host/device_link.h"
#include "host/procedure_executor.h"
#include "host/project_blob.h"
#include "host/project_objects.h"
#include "host/simulated_device.h"
#include "hostapi/plugin.h"

namespace host {

// --- bus timing model (see the header)

namespace {
constexpr uint64_t FrameBits(uint64_t octets) { return 13 * octets + 76; }
constexpr uint64_t kAckFrame = 8;      // T_ACK, T_Connect, T_Disconnect
constexpr uint64_t kRequestFrame = 11;  // a memory read request, a write without data
}  // namespace

void BusTraffic::AddWrite(uint32_t bytes, uint32_t address) {
  bytesWritten += bytes;
  if (bytes > 0) lastWriteAddress = int64_t(address) + bytes - 1;
  while (bytes > 0) {
    uint32_t n = bytes < kMaxTelegramData ? bytes : kMaxTelegramData;
    ++writeTelegrams;
    bitTimes += FrameBits(kRequestFrame + n) + FrameBits(kAckFrame);
    address += n;
    bytes -= n;
  }
}

void BusTraffic::AddRead(uint32_t bytes) {
  bytesRead += bytes;
  while (bytes > 0) {
    uint32_t n = bytes < kMaxTelegramData ? bytes : kMaxTelegramData;
    ++readTelegrams;
    bitTimes += 2 * (FrameBits(kRequestFrame) + FrameBits(kAckFrame)) + 13 * uint64_t(n);
    bytes -= n;
  }
}

void BusTraffic::AddRestart() {
  ++restarts;
  bitTimes += FrameBits(9);
}

void BusTraffic::AddConnect() {
  ++connects;
  bitTimes += FrameBits(kAckFrame);
}

void BusTraffic::AddDisconnect() {
  ++disconnects;
  bitTimes += FrameBits(kAckFrame);
}

namespace {

// --- the objects the host hands to the plug-in

class CDownloadData : public IDownloadData, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDownloadData;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDownloadData>(this, iid, ppv);
  }
  HRESULT get_DeviceRef(IUnknown** device) override {
    if (!device) return E_POINTER;
    *device = device_.Get();
    if (*device) (*device)->AddRef();
    return *device ? S_OK : E_UNEXPECTED;
  }
  com::ComPtr<IUnknown> device_;
};

class CStatusSink : public IStatusSink, public com::ObjectRoot {
 public:
  using PrimaryInterface = IStatusSink;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IStatusSink>(this, iid, ppv);
  }
  HRESULT ShowStatus(LONG, LONG, LONG kind, const OLECHAR* text) override {
    const std::string utf8 = text ? base::Utf16ToUtf8(text) : std::string();
    if (kind == kStatusKindDecision) decision_ = utf8;
    if (observer_) observer_->Status(kind, utf8);
    return S_OK;
  }
  HRESULT SetProgress(LONG position) override {
    if (observer_) observer_->Progress(int(position));
    return S_OK;
  }
  HRESULT ReportError(LONG, IErrorInfo* error, LONG) override {
    error_ = "download error";
    if (error) {
      com::Bstr text;
      if (SUCCEEDED(error->GetDescription(&text)) && text.Get()) error_ = text.ToUtf8();
    }
    return S_OK;
  }
  DownloadObserver* observer_ = nullptr;
  std::string error_;
  std::string decision_;
};

template <class T>
com::ComPtr<T> MakeObject() {
  com::ComPtr<T> p;
  com::CreateInstance<T>(nullptr, nullptr, T::PrimaryInterface::iid, p.PpvSlot());
  return p;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void FreeSegments(ImageSegmentList& list) {
  for (uint32_t i = 0; i < list.count; ++i) {
    CoTaskMemFree(list.segments[i].data);
    CoTaskMemFree(list.segments[i].second);
  }
  CoTaskMemFree(list.segments);
  list = {};
}

// The simulated device's memory as a link; restarts count on the device.
class SimulatedLink : public MemoryLink {
 public:
  explicit SimulatedLink(SimulatedDevice& device) : MemoryLink(device.Memory()), device_(device) {}

 protected:
  void OnRestart() override { device_.Restart(); }

 private:
  SimulatedDevice& device_;
};

std::string WrittenSoFar(const DownloadResult& r) {
  const uint64_t bytes = r.plugin.bytesWritten + r.host.bytesWritten;
  if (bytes == 0) return "nothing was written";
  return base::Format("%llu bytes were written, the last at 0x%04llX",
                      static_cast<unsigned long long>(bytes),
                      static_cast<unsigned long long>(r.plugin.lastWriteAddress >= 0
                                                          ? r.plugin.lastWriteAddress
                                                          : r.host.lastWriteAddress));
}

}  // namespace

DownloadResult RunDownload(const Project& project, int64_t deviceId, uint8_t mode,
                           DownloadObserver* observer, const DownloadFault* fault) {
  DownloadResult result;
  result.pluginDataSkipped = (mode & 1) == 0;
  result.applicationDataSkipped = mode != 0xFF && (mode & 2) == 0;
  // The plug-in would refuse a missing or damaged configuration with a code
  // that does not say what is wrong; the project can.
  if (std::optional<std::string> problem = ConfigurationProblem(project, deviceId)) {
    result.error = *problem;
    return result;
  }
  SimulatedDevice device(project, deviceId);
  SimulatedLink memoryLink(device);
  FailingLink link(memoryLink, fault ? fault->telegram : UINT64_MAX);
  com::ComPtr<IDevice> deviceObject;
  HRESULT hr = MakeDeviceObject(project, deviceId, &deviceObject);
  com::ComPtr<IDeviceDownload> hawk;
  if (SUCCEEDED(hr)) hr = com::CreateInstance(CLSID_DX470Hawk, &hawk);
  auto data = MakeObject<CDownloadData>();
  auto sink = MakeObject<CStatusSink>();
  if (SUCCEEDED(hr) && (!data || !sink)) hr = E_OUTOFMEMORY;
  if (FAILED(hr)) {
    result.error = "the plug-in's download cannot be started: " + base::ErrorText(hr);
    return result;
  }
  static_cast<CDownloadData*>(data.Get())->device_ = com::ComPtr<IUnknown>(deviceObject.Get());
  // What the plug-in reads: a failed download that finds another record
  // stored was overtaken by a save (the plug-in's own write, in the finish
  // step, is refused then).
  const std::optional<StoredValue> configurationRead = project.ReadExtData(deviceId, kBlobKey);
  auto* sinkImpl = static_cast<CStatusSink*>(sink.Get());
  sinkImpl->observer_ = observer;

  // A download has three or four steps; more means the plug-in lost its way.
  constexpr int kMaxSteps = 16;
  ImageSegmentList imageIn{};
  bool failed = false;
  for (;;) {
    ImageSegmentList imageOut{};
    com::ComPtr<IStream> procedures;
    SHORT progress = 0;
    const double cpuBefore = ThreadCpuSeconds();
    hr = hawk->Download(data.Get(), 0, 0, sink.Get(), mode, &imageIn, &imageOut, &procedures,
                        &progress);
    result.pluginCpuSeconds += ThreadCpuSeconds() - cpuBefore;
    ++result.steps;
    FreeSegments(imageIn);  // whatever the plug-in did not take over
    if (FAILED(hr)) {
      FreeSegments(imageOut);
      result.error = "the plug-in's download step failed: " + base::ErrorText(hr);
      failed = true;
      break;
    }
    // The host's own records (the application area) come first when the
    // step delegated to it; they are counted apart.
    const bool hostStep = result.steps == 1 && (mode == 0xFF || (mode & 2));
    const bool lastStep = hr == DOWNLOAD_S_LAST_STEP;
    std::string error;
    bool wroteImage = false;
    if (procedures && !ExecuteProcedures(procedures.Get(), imageOut, link,
                                         hostStep ? result.host : result.plugin, wroteImage, error,
                                         fault && fault->step == result.steps ? fault->record
                                                                              : SIZE_MAX)) {
      FreeSegments(imageOut);
      if (lastStep && sinkImpl->error_.empty()) {
        // The plug-in has remembered the download in the step that hands
        // over the restart; the device holds the configuration but does not
        // run it. The next download finds it equal and restarts it.
        result.notRestarted = true;
        result.error = "written, not restarted: download again to restart (" + error + ")";
        Project(project).SetParametersLoaded(deviceId, false);
      } else {
        result.error = "download step " + std::to_string(result.steps) + ": " + error + "; " +
                       WrittenSoFar(result);
      }
      failed = true;
      break;
    }
    // What the device took is kept before the plug-in hears of it, as a
    // real device keeps it: a host killed after the plug-in remembered the
    // download never leaves a device behind that lacks it.
    device.Save();
    if (!hostStep && wroteImage) result.complete = true;
    if (observer) observer->Progress(progress == 100 ? 100 : std::min(90, result.steps * 30));
    if (lastStep) {
      FreeSegments(imageOut);
      break;
    }
    imageIn = imageOut;  // handed to the plug-in with the next call
    if (result.steps >= kMaxSteps) {
      FreeSegments(imageIn);
      result.error = "the plug-in did not finish the download";
      failed = true;
      break;
    }
  }
  device.Save();
  if (!failed && !sinkImpl->error_.empty()) {
    result.error = sinkImpl->error_;
    failed = true;
  }
  if (failed && !result.notRestarted) {
    const std::optional<StoredValue> now = project.ReadExtData(deviceId, kBlobKey);
    if (now.has_value() != configurationRead.has_value() ||
        (now && (now->data != configurationRead->data || now->vt != configurationRead->vt)))
      result.error = "the configuration was changed during the download: download again (" +
                     result.error + ")";
  }
  if (result.complete) result.completeReason = sinkImpl->decision_;
  result.succeeded = !failed;
  return result;
}

}  // namespace host
