// The executor's options: --verify's read-back, the plan behind the progress
// display, a device link given by the caller, and an interrupted download.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "com/cocreate.h"
#include "com/comptr.h"
#include "com/memory.h"
#include "host/download_executor.h"
#include "host/procedure_executor.h"
#include "host/simulated_device.h"
#include "hostapi/plugin.h"
#include "hostapi/procedures.h"
#include "module_loading.h"
#include "plugin_project_fixture.h"

namespace {

namespace proc = dx470::proc;

com::ComPtr<IStream> List(const std::vector<proc::Record>& records) {
  std::vector<uint8_t> bytes(sizeof(GUID));
  std::memcpy(bytes.data(), &proc::kProcedureGuid, sizeof(GUID));
  for (const proc::Record& r : records) bytes.insert(bytes.end(), r.bytes, r.bytes + proc::kRecordSize);
  com::ComPtr<IStream> s;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &s), S_OK);
  ULONG n = 0;
  s->Write(bytes.data(), ULONG(bytes.size()), &n);
  return s;
}

// One type-2 segment at 0x7820 of 64 bytes holding 0, 1, 2, ...
struct Segment {
  Segment() {
    list.count = 1;
    list.segments = static_cast<ImageSegment*>(CoTaskMemAlloc(sizeof(ImageSegment)));
    auto* data = static_cast<uint8_t*>(CoTaskMemAlloc(64));
    for (int i = 0; i < 64; ++i) data[i] = uint8_t(i);
    list.segments[0] = ImageSegment{2, 0, 0x7820, 64, data, nullptr};
  }
  ~Segment() {
    CoTaskMemFree(list.segments[0].data);
    CoTaskMemFree(list.segments);
  }
  ImageSegmentList list{};
};

// A device that stores the first byte of its `corrupt`th write inverted,
// counts the calls, and can raise a flag after `interruptAfter` writes.
class TestLink : public host::MemoryLink {
 public:
  explicit TestLink(uint8_t* memory) : MemoryLink(memory), memory_(memory) {}
  bool Connect(std::string& e) override {
    ++connects;
    return MemoryLink::Connect(e);
  }
  bool Disconnect(std::string& e) override {
    ++disconnects;
    return MemoryLink::Disconnect(e);
  }
  bool WriteMemory(uint16_t address, const uint8_t* data, uint32_t n, std::string& error) override {
    if (!MemoryLink::WriteMemory(address, data, n, error)) return false;
    if (++writes == corrupt) memory_[address] ^= 0xFF;
    if (flag && writes == interruptAfter) *flag = true;
    return true;
  }
  int connects = 0, disconnects = 0;
  uint64_t writes = 0, corrupt = 0, interruptAfter = 0;
  std::atomic<bool>* flag = nullptr;

 private:
  uint8_t* memory_;
};

TEST(DownloadVerify, AWrittenRunIsReadBackAndADifferenceNamesTheAddressAndBothBytes) {
  Segment seg;
  std::vector<uint8_t> memory(65536, 0);
  TestLink link(memory.data());
  link.corrupt = 2;  // the second telegram of the run: 0x782C..0x7837
  auto list = List({proc::Open(), proc::WriteRange(0x7820, 0x7837), proc::Close(), proc::End()});
  host::BusTraffic traffic;
  bool whole = false;
  std::string error;
  EXPECT_FALSE(host::ExecuteProcedures(list.Get(), seg.list, link, traffic, whole, error, SIZE_MAX, true));
  EXPECT_EQ(error, "verify: the device holds 0xF3 at 0x782C where 0x0C was written");
  EXPECT_EQ(traffic.bytesWritten, 24u);
  EXPECT_EQ(traffic.bytesVerified, 24u);  // both telegrams read back; the second differs

  // Without verify nothing notices.
  std::fill(memory.begin(), memory.end(), 0);
  link.writes = 0;
  host::BusTraffic plain;
  EXPECT_TRUE(host::ExecuteProcedures(list.Get(), seg.list, link, plain, whole, error));
  EXPECT_EQ(plain.readTelegrams, 0u);
}

TEST(DownloadVerify, TheReadBackCountsAsReadTelegramsAndThePlanForeseesThem) {
  Segment seg;
  std::vector<uint8_t> memory(65536, 0);
  TestLink link(memory.data());
  auto list = List({proc::Open(), proc::WriteRange(0x7820, 0x7840), proc::ReadRange(0x7850, 0x785F),
                    proc::Close(), proc::End()});
  for (bool verify : {false, true}) {
    SCOPED_TRACE(verify);
    host::BusTraffic traffic;
    bool whole = false;
    std::string error;
    ASSERT_TRUE(host::ExecuteProcedures(list.Get(), seg.list, link, traffic, whole, error, SIZE_MAX, verify))
        << error;
    const host::BusTraffic plan = host::PlanProcedures(list.Get(), seg.list, verify);
    EXPECT_EQ(traffic.bytesVerified, verify ? 33u : 0u);
    EXPECT_EQ(traffic.readTelegrams, verify ? 2u + 3u : 2u);
    EXPECT_EQ(plan.bitTimes, traffic.bitTimes);
    EXPECT_EQ(plan.bytesWritten, traffic.bytesWritten);
    EXPECT_EQ(plan.readTelegrams, traffic.readTelegrams);
    EXPECT_EQ(plan.bytesVerified, traffic.bytesVerified);
  }
}

// --- RunDownload with a caller's link, through the real plug-in

class DownloadOptions : public testsupport::ProjectFixture {
 protected:
  void SetUp() override {
    unsetenv("DX47X_TRACE");
    ASSERT_TRUE(testsupport::LoadAndRegister(module, "DX47x.so"));
    com::ComPtr<IDeviceEvents> events;
    ASSERT_EQ(com::CreateInstance(CLSID_DX470DeviceEvent, &events), S_OK);
    ASSERT_EQ(events->OnAddDevide(device.Get(), nullptr), S_OK);
  }
  std::vector<uint8_t> SimulatedMemory() {
    host::SimulatedDevice d(project, deviceId);
    return std::vector<uint8_t>(d.Memory(), d.Memory() + host::SimulatedDevice::kMemorySize);
  }
  com::ServerModule module;
};

struct Recorder : host::DownloadObserver {
  void Status(int32_t, const std::string&) override {}
  void Progress(int) override {}
  void OnTransfer(const Transfer& t) override { transfers.push_back(t); }
  std::vector<Transfer> transfers;
};

TEST_F(DownloadOptions, TheCallersLinkGetsTheDownloadAndTheSimulatedDeviceIsLeftAlone) {
  std::vector<uint8_t> memory(65536, 0);
  TestLink link(memory.data());
  host::DownloadOptions options;
  options.link = &link;
  Recorder recorder;
  const host::DownloadResult r = host::RunDownload(project, deviceId, 1, &recorder, options);
  ASSERT_TRUE(r.succeeded) << r.error;
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(link.restarts, 1);
  EXPECT_EQ(link.connects, 3);
  EXPECT_EQ(link.writes, r.plugin.writeTelegrams);
  EXPECT_TRUE(SimulatedMemory() == std::vector<uint8_t>(65536, 0));
  EXPECT_TRUE(project.ParametersLoaded(deviceId));

  // The progress of the write step: from nothing to all its bytes, the
  // estimate left falling to zero, the telegrams counting up.
  std::vector<host::DownloadObserver::Transfer> writing;
  for (const auto& t : recorder.transfers)
    if (std::string(t.phase) == "writing") writing.push_back(t);
  ASSERT_GT(writing.size(), 100u);
  EXPECT_EQ(writing.front().bytesDone, 0u);
  EXPECT_EQ(writing.front().bytesTotal, r.plugin.bytesWritten);
  EXPECT_NEAR(writing.front().lineSecondsLeft, 49.5, 0.5);
  EXPECT_EQ(writing.back().bytesDone, r.plugin.bytesWritten);
  EXPECT_DOUBLE_EQ(writing.back().lineSecondsLeft, 0.0);
  for (size_t i = 1; i < writing.size(); ++i) {
    EXPECT_GE(writing[i].bytesDone, writing[i - 1].bytesDone);
    EXPECT_LE(writing[i].lineSecondsLeft, writing[i - 1].lineSecondsLeft);
    EXPECT_GE(writing[i].telegrams, writing[i - 1].telegrams);
  }
}

TEST_F(DownloadOptions, AnInterruptedDownloadIsNotDoneAndTheNextOneIsComplete) {
  std::vector<uint8_t> memory(65536, 0);
  TestLink link(memory.data());
  host::DownloadOptions options;
  options.link = &link;
  ASSERT_TRUE(host::RunDownload(project, deviceId, 1, nullptr, options).succeeded);
  const int disconnectsBefore = link.disconnects;

  // Complete with the application data: 3 telegrams of those, then the
  // plug-in's first two (the block identifier made invalid, the image).
  std::atomic<bool> interrupt{false};
  link.flag = &interrupt;
  link.writes = 0;
  link.interruptAfter = 5;
  options.interrupt = &interrupt;
  host::DownloadResult r = host::RunDownload(project, deviceId, 0xFF, nullptr, options);
  EXPECT_FALSE(r.succeeded);
  EXPECT_TRUE(r.interrupted);
  EXPECT_NE(r.error.find("interrupted (Ctrl-C); "), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("bytes were written, the last at 0x"), std::string::npos) << r.error;
  EXPECT_FALSE(project.ParametersLoaded(deviceId));
  // The application data's list closed its connection; the broken-off one
  // was closed too.
  EXPECT_EQ(link.disconnects, disconnectsBefore + 2);
  EXPECT_EQ(link.writes, 5u);  // nothing went out after the flag

  interrupt = false;
  link.flag = nullptr;
  r = host::RunDownload(project, deviceId, 1, nullptr, options);
  ASSERT_TRUE(r.succeeded) << r.error;
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.completeReason, "the last download was interrupted");

  // Broken off in the application data alone: not done either.
  link.flag = &interrupt;
  link.writes = 0;
  link.interruptAfter = 1;
  r = host::RunDownload(project, deviceId, 0xFF, nullptr, options);
  EXPECT_TRUE(r.interrupted);
  EXPECT_FALSE(project.ParametersLoaded(deviceId));
  link.flag = nullptr;

  // A flag raised before the download starts: nothing is written at all.
  interrupt = true;
  link.writes = 0;
  r = host::RunDownload(project, deviceId, 1, nullptr, options);
  EXPECT_TRUE(r.interrupted);
  EXPECT_NE(r.error.find("nothing was written"), std::string::npos) << r.error;
  EXPECT_EQ(link.writes, 0u);
}

}  // namespace
