#include "download_host.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/strings.h"
#include "com/cocreate.h"
#include "com/object.h"
#include "download/image.h"
#include "host/device_link.h"
#include "host/procedure_executor.h"
#include "hostapi/procedures.h"

namespace testhost {

const GUID kHostGuid = MakeGuid("5D1C0DE5-0000-4000-8000-000000000001");

namespace {

class StatusSinkImpl : public IStatusSink, public com::ObjectRoot {
 public:
  using PrimaryInterface = IStatusSink;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IStatusSink>(this, iid, ppv);
  }
  HRESULT ShowStatus(LONG, LONG, LONG kind, const OLECHAR* text) override {
    statuses.push_back({kind, base::Utf16ToUtf8(text)});
    return S_OK;
  }
  HRESULT SetProgress(LONG) override { return S_OK; }
  HRESULT ReportError(LONG code, IErrorInfo* error, LONG) override {
    BSTR description = nullptr;
    std::string text;
    if (error && SUCCEEDED(error->GetDescription(&description)) && description)
      text = base::Utf16ToUtf8(description);
    SysFreeString(description);
    errors.push_back({code, text});
    return S_OK;
  }
  std::vector<Status> statuses;
  std::vector<ReportedError> errors;
};

class DownloadDataImpl : public IDownloadData, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDownloadData;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDownloadData>(this, iid, ppv);
  }
  HRESULT get_DeviceRef(IUnknown** device) override { return device_.CopyTo(device); }
  com::ComPtr<IUnknown> device_;
};

// The host's own download: one segment of another type and a short list
// under its own GUID.
class HostDownloadImpl : public IHostDownload, public com::ObjectRoot {
 public:
  using PrimaryInterface = IHostDownload;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IHostDownload>(this, iid, ppv);
  }
  HRESULT Download(IUnknown*, LONG, LONG, IStatusSink*, BYTE mode, ImageSegmentList* imageOut,
                   IStream** procedures) override {
    ++HostLog().calls;
    HostLog().mode = mode;
    if (FAILED(HostLog().result)) return HostLog().result;
    CDX470Image image;
    image.AddImageSegment(5, 1, 0x0100, 4, false);
    const dx470::proc::Record list[] = {dx470::proc::Open(), dx470::proc::End()};
    image.AppendProcedure(kHostGuid, list, sizeof list);
    return image.Detach(imageOut, procedures);
  }
};

StatusSinkImpl* Impl(IStatusSink* sink) { return static_cast<StatusSinkImpl*>(sink); }

}  // namespace

com::ComPtr<IStatusSink> MakeStatusSink() {
  com::ComPtr<IStatusSink> sink;
  com::CreateInstance<StatusSinkImpl>(nullptr, nullptr, IStatusSink::iid, sink.PpvSlot());
  return sink;
}
const std::vector<Status>& StatusesOf(IStatusSink* sink) { return Impl(sink)->statuses; }
const std::vector<ReportedError>& ErrorsOf(IStatusSink* sink) { return Impl(sink)->errors; }

com::ComPtr<IUnknown> MakeDownloadData(IUnknown* device) {
  com::ComPtr<IDownloadData> data;
  com::CreateInstance<DownloadDataImpl>(nullptr, nullptr, IDownloadData::iid, data.PpvSlot());
  static_cast<DownloadDataImpl*>(data.Get())->device_ = com::ComPtr<IUnknown>(device);
  return com::ComPtr<IUnknown>(data.Get());
}

HostDownloadLog& HostLog() {
  static HostDownloadLog log;
  return log;
}

ScopedHostDownload::ScopedHostDownload() {
  HostLog() = HostDownloadLog{};
  auto factory = com::ClassFactoryFor<HostDownloadImpl>::Make();
  CoRegisterClassObject(CLSID_HostDownload, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                        &cookie_);
}

ScopedHostDownload::~ScopedHostDownload() { CoRevokeClassObject(cookie_); }

bool SimulatedDevice::Execute(ImageSegmentList& segments, IStream* procedures) {
  namespace proc = dx470::proc;
  lastRecords.clear();
  accesses.clear();
  lastGuid = GUID{};
  if (!procedures) return true;
  STATSTG st{};
  if (FAILED(procedures->Stat(&st, STATFLAG_NONAME))) return false;
  std::vector<uint8_t> bytes(size_t(st.cbSize.QuadPart));
  ULONG read = 0;
  if (bytes.size() < 16 || FAILED(procedures->Read(bytes.data(), ULONG(bytes.size()), &read)) ||
      read != bytes.size() || (bytes.size() - 16) % proc::kRecordSize != 0)
    return false;
  std::memcpy(&lastGuid, bytes.data(), 16);
  lastRecords.assign(bytes.begin() + 16, bytes.end());
  if (!(lastGuid == proc::kProcedureGuid)) return true;

  // The host's own executor runs the list over this memory.
  host::MemoryLink link(memory.data());
  host::BusTraffic traffic;
  bool whole = false;
  std::string error;
  const bool ok = host::ExecuteProcedures(procedures, segments, link, traffic, whole, error, SIZE_MAX, false,
                                          [this](uint8_t code, uint32_t start, uint32_t end) {
                                            accesses.push_back({code, uint16_t(start), uint16_t(end)});
                                          });
  restarts += link.restarts;
  return ok;
}

void FreeSegments(ImageSegmentList& list) {
  CDX470Image owner;
  owner.TakeOver(&list);
}

DownloadRun::DownloadRun(IDeviceDownload* hawk, IUnknown* deviceData, IStatusSink* status,
                         SimulatedDevice* device)
    : hawk_(hawk), data_(deviceData), status_(status), device_(device) {}

DownloadRun::~DownloadRun() { FreeSegments(pending_); }

HRESULT DownloadRun::Step(BYTE mode) {
  ImageSegmentList out{0, nullptr};
  com::ComPtr<IStream> procedures;
  HRESULT hr = hawk_->Download(data_, 7, 9, status_, mode, &pending_, &out, &procedures, &progress);
  EXPECT_EQ(pending_.segments, nullptr) << "the plug-in takes the previous list over";
  hadProcedures = static_cast<bool>(procedures);
  segmentCount = out.count;
  EXPECT_TRUE(device_->Execute(out, procedures.Get()));
  pending_ = out;
  return hr;
}

}  // namespace testhost
