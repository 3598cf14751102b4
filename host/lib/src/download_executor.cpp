#include "host/download_executor.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <optional>
#include <vector>

#include "base/strings.h"
#include "com/barrier.h"
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
constexpr uint64_t kAckFrame = 8;       // T_ACK, T_Connect, T_Disconnect
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
  // The observer is the host's own code, but what it throws must not
  // cross back into the plug-in.
  HRESULT ShowStatus(LONG, LONG, LONG kind, const OLECHAR* text) override {
    return com::CallGuarded([&] {
      const std::string utf8 = text ? base::Utf16ToUtf8(text) : std::string();
      if (kind == kStatusKindDecision) decision_ = utf8;
      if (observer_) observer_->Status(kind, utf8);
      return S_OK;
    });
  }
  HRESULT SetProgress(LONG position) override {
    return com::CallGuarded([&] {
      if (observer_) observer_->Progress(int(position));
      return S_OK;
    });
  }
  HRESULT ReportError(LONG, IErrorInfo* error, LONG) override {
    return com::CallGuarded([&] {
      error_ = "download error";
      if (error) {
        com::Bstr text;
        if (SUCCEEDED(error->GetDescription(&text)) && text.Get()) error_ = text.ToUtf8();
      }
      return S_OK;
    });
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
  return base::Format(
      "%llu bytes were written, the last at 0x%04llX", static_cast<unsigned long long>(bytes),
      static_cast<unsigned long long>(r.plugin.lastWriteAddress >= 0 ? r.plugin.lastWriteAddress
                                                                     : r.host.lastWriteAddress));
}

// Passes every call on to the device's link, refuses all but the
// disconnect once the download is interrupted, and tells the observer after
// each telegram how far the current procedure list is.
class ObservedLink : public DeviceLink {
 public:
  ObservedLink(DeviceLink& inner, DownloadObserver* observer, const std::atomic<bool>* interrupt)
      : inner_(inner), observer_(observer), interrupt_(interrupt) {}

  void BeginList(int step, const BusTraffic& plan) {
    step_ = step;
    plan_ = plan;
    done_ = BusTraffic{};
    Notify();
  }
  bool Connect(std::string& error) override {
    return Go(error) && Done(inner_.Connect(error), [&] { done_.AddConnect(); });
  }
  bool Disconnect(std::string& error) override {
    return Done(inner_.Disconnect(error), [&] { done_.AddDisconnect(); });
  }
  bool WriteMemory(uint16_t address, const uint8_t* data, uint32_t n, std::string& error) override {
    return Go(error) &&
           Done(inner_.WriteMemory(address, data, n, error), [&] { done_.AddWrite(n, address); });
  }
  bool ReadMemory(uint16_t address, uint8_t* data, uint32_t n, std::string& error) override {
    return Go(error) && Done(inner_.ReadMemory(address, data, n, error), [&] { done_.AddRead(n); });
  }
  bool Restart(std::string& error) override {
    return Go(error) && Done(inner_.Restart(error), [&] { done_.AddRestart(); });
  }

 private:
  bool Go(std::string& error) {
    if (interrupt_ && interrupt_->load()) {
      error = "interrupted";
      return false;
    }
    return true;
  }
  template <class F>
  bool Done(bool ok, F count) {
    if (ok) {
      count();
      ++telegrams_;
      Notify();
    }
    return ok;
  }
  void Notify() {
    if (!observer_) return;
    DownloadObserver::Transfer t;
    const bool writes = plan_.bytesWritten > 0;
    t.phase = writes                ? "writing"
              : plan_.readTelegrams ? "reading"
              : plan_.restarts      ? "restarting"
                                    : "connecting";
    t.step = step_;
    t.bytesTotal = writes ? plan_.bytesWritten : plan_.bytesRead;
    t.bytesDone = std::min(t.bytesTotal, writes ? done_.bytesWritten : done_.bytesRead);
    t.telegrams = telegrams_;
    t.lineSecondsLeft =
        plan_.bitTimes > done_.bitTimes ? double(plan_.bitTimes - done_.bitTimes) / BusTraffic::kBitRate : 0;
    observer_->OnTransfer(t);
  }

  DeviceLink& inner_;
  DownloadObserver* observer_;
  const std::atomic<bool>* interrupt_;
  int step_ = 0;
  BusTraffic plan_;
  BusTraffic done_;
  uint32_t telegrams_ = 0;
};

}  // namespace

DownloadResult RunDownload(const Project& project, int64_t deviceId, uint8_t mode, DownloadObserver* observer,
                           const DownloadFault* fault) {
  DownloadOptions options;
  options.fault = fault;
  return RunDownload(project, deviceId, mode, observer, options);
}

DownloadResult RunDownload(const Project& project, int64_t deviceId, uint8_t mode, DownloadObserver* observer,
                           const DownloadOptions& options) {
  const DownloadFault* fault = options.fault;
  DownloadResult result;
  result.pluginDataSkipped = (mode & 1) == 0;
  result.applicationDataSkipped = mode != 0xFF && (mode & 2) == 0;
  // The plug-in would refuse a missing or damaged configuration with a code
  // that does not say what is wrong; the project can.
  if (std::optional<std::string> problem = ConfigurationProblem(project, deviceId)) {
    result.error = *problem;
    return result;
  }
  // The simulated device is loaded (and saved) only when it is the target.
  std::optional<SimulatedDevice> device;
  std::optional<SimulatedLink> memoryLink;
  DeviceLink* target = options.link;
  if (!target) {
    device.emplace(project, deviceId);
    memoryLink.emplace(*device);
    target = &*memoryLink;
  }
  ObservedLink observed(*target, observer, options.interrupt);
  FailingLink link(observed, fault ? fault->telegram : UINT64_MAX);
  com::ComPtr<IDevice> deviceObject;
  HRESULT hr = MakeDeviceObject(project, deviceId, &deviceObject);
  com::ComPtr<IDeviceDownload> hawk;
  if (SUCCEEDED(hr)) hr = com::CreateInstance(CLSID_DX470Hawk, &hawk);
  auto data = MakeObject<CDownloadData>();
  auto sink = MakeObject<CStatusSink>();
  if (SUCCEEDED(hr) && (!data || !sink)) hr = E_OUTOFMEMORY;
  if (FAILED(hr)) {
    result.error = "the plug-in's download cannot be started: " + base::ErrorText(hr);
    // A class lookup over an unreadable registry says which file is wrong.
    com::ComPtr<IErrorInfo> info;
    com::Bstr description;
    if (GetErrorInfo(0, &info) == S_OK && info && SUCCEEDED(info->GetDescription(&description)) &&
        !description.Empty())
      result.error += " - " + description.ToUtf8();
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
    hr = hawk->Download(data.Get(), 0, 0, sink.Get(), mode, &imageIn, &imageOut, &procedures, &progress);
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
    if (procedures)
      observed.BeginList(result.steps, PlanProcedures(procedures.Get(), imageOut, options.verify));
    if (procedures &&
        !ExecuteProcedures(procedures.Get(), imageOut, link, hostStep ? result.host : result.plugin,
                           wroteImage, error, fault && fault->step == result.steps ? fault->record : SIZE_MAX,
                           options.verify)) {
      FreeSegments(imageOut);
      // The connection ends cleanly, whatever broke it.
      std::string ignored;
      target->Disconnect(ignored);
      if (options.interrupt && options.interrupt->load()) {
        result.interrupted = true;
        error = "interrupted (Ctrl-C)";
      }
      if (lastStep && sinkImpl->error_.empty()) {
        // The plug-in has remembered the download in the step that hands
        // over the restart; the device holds the configuration but does not
        // run it. The next download finds it equal and restarts it.
        result.notRestarted = true;
        result.error = "written, not restarted: download again to restart (" + error + ")";
        Project(project).SetParametersLoaded(deviceId, false);
      } else {
        result.error =
            "download step " + std::to_string(result.steps) + ": " + error + "; " + WrittenSoFar(result);
        // Not done, also when the host's own application data broke off
        // before the plug-in's steps cleared the flag.
        Project(project).SetParametersLoaded(deviceId, false);
      }
      failed = true;
      break;
    }
    // What the device took is kept before the plug-in hears of it, as a
    // real device keeps it: a host killed after the plug-in remembered the
    // download never leaves a device behind that lacks it.
    if (device) device->Save();
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
  if (device) device->Save();
  if (!failed && !sinkImpl->error_.empty()) {
    result.error = sinkImpl->error_;
    failed = true;
  }
  if (failed && !result.notRestarted) {
    const std::optional<StoredValue> now = project.ReadExtData(deviceId, kBlobKey);
    if (now.has_value() != configurationRead.has_value() ||
        (now && (now->data != configurationRead->data || now->vt != configurationRead->vt)))
      result.error =
          "the configuration was changed during the download: download again (" + result.error + ")";
  }
  if (result.complete) result.completeReason = sinkImpl->decision_;
  result.succeeded = !failed;
  return result;
}

}  // namespace host
