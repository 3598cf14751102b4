// The download steps of DX470Hawk against a small host: a real project
// store for the device, the host's own download object registered
// in-process, and a simulated device memory executing each step's records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/strings.h"
#include "com/object.h"
#include "data/blockinfo.h"
#include "data/dx470data.h"
#include "data/packedfont.h"
#include "download/lcdimage.h"
#include "download_host.h"
#include "dx470hawk.h"
#include "fake_device.h"
#include "hostapi/procedures.h"
#include "plugin_project_fixture.h"

namespace {

namespace proc = dx470::proc;
constexpr HRESULT kLast = DOWNLOAD_S_LAST_STEP;
constexpr uint32_t kBase = dx470::kImageBase;

com::ComPtr<IDeviceDownload> NewHawk() {
  com::ComPtr<IDeviceDownload> hawk;
  EXPECT_EQ(com::CreateInstance<CDX470Hawk>(nullptr, nullptr, IDeviceDownload::iid, hawk.PpvSlot()), S_OK);
  return hawk;
}

std::vector<uint8_t> Codes(const std::vector<uint8_t>& records) {
  std::vector<uint8_t> codes;
  for (size_t at = 0; at < records.size(); at += proc::kRecordSize) codes.push_back(records[at]);
  return codes;
}

// Registered before the project's host services, so that the test's own
// host download object answers CoCreateInstance first.
struct TestHostDownloadFirst {
  testhost::ScopedHostDownload hostDownload;
};

class DownloadSteps : public TestHostDownloadFirst, public testsupport::ProjectFixture {
 protected:
  DownloadSteps() {
    // The device as the device-event handler leaves it: a new BLOB.
    CDX470Data data;
    EXPECT_EQ(data.EtsInit(device.Get()), S_OK);
    EXPECT_EQ(data.WriteBlob(), S_OK);
    sink = testhost::MakeStatusSink();
    deviceData = testhost::MakeDownloadData(device.Get());
  }

  std::unique_ptr<CDX470Data> Stored() {
    auto data = std::make_unique<CDX470Data>();
    EXPECT_EQ(data->EtsInit(device.Get()), S_OK);
    EXPECT_EQ(data->DataInit(), S_OK);
    return data;
  }
  // Changes the stored configuration the way the editor does.
  template <class F>
  void Edit(F change) {
    auto data = Stored();
    change(data->Param());
    dx470::UpdateBlockInformation(data->Param());
    ASSERT_EQ(data->WriteBlob(), S_OK);
  }
  std::vector<uint8_t> CurrentImage() {
    auto data = Stored();
    auto buffer = std::make_unique<dx470::ImageBuffer>();
    const dx470::ImageResult r = dx470::BuildLcdImage(data->Param(), *buffer);
    EXPECT_TRUE(r.ok());
    return std::vector<uint8_t>(buffer->begin() + 34, buffer->begin() + 34 + r.length);
  }
  bool MemoryHoldsCurrentImage() {
    const std::vector<uint8_t> image = CurrentImage();
    return std::equal(image.begin(), image.end(), memory.memory.begin() + kBase);
  }
  // A whole download in `mode`; returns the number of calls it took.
  int Download(BYTE mode) {
    com::ComPtr<IDeviceDownload> hawk = NewHawk();
    testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
    for (int call = 1; call <= 5; ++call) {
      HRESULT hr = run.Step(mode);
      if (hr == kLast) return call;
      EXPECT_EQ(hr, S_OK);
    }
    ADD_FAILURE() << "no last step";
    return 0;
  }
  // Runs the prepare step and the compare step; the writes of the compare
  // step are in memory.accesses.
  void PrepareAndCompare(testhost::DownloadRun& run) {
    ASSERT_EQ(run.Step(1), S_OK);
    ASSERT_EQ(run.Step(1), S_OK);
  }

  testhost::SimulatedDevice memory;
  com::ComPtr<IStatusSink> sink;
  com::ComPtr<IUnknown> deviceData;
};

TEST_F(DownloadSteps, ModeZeroFinishesAtOnceWithoutProcedures) {
  com::ComPtr<IDeviceDownload> hawk = NewHawk();
  testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
  EXPECT_EQ(run.Step(0), kLast);
  EXPECT_FALSE(run.hadProcedures);
  EXPECT_EQ(run.segmentCount, 0u);
  EXPECT_EQ(testhost::HostLog().calls, 0);
  ASSERT_EQ(testhost::StatusesOf(sink.Get()).size(), 1u);
  EXPECT_EQ(testhost::StatusesOf(sink.Get())[0].kind, 8);
  EXPECT_EQ(testhost::StatusesOf(sink.Get())[0].text, "Download of DX 47x finished");
}

TEST_F(DownloadSteps, Bit1WithoutBit0RunsTheHostsDownloadThenFinishes) {
  com::ComPtr<IDeviceDownload> hawk = NewHawk();
  testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
  EXPECT_EQ(run.Step(2), S_OK);
  EXPECT_EQ(testhost::HostLog().calls, 1);
  EXPECT_EQ(testhost::HostLog().mode, 2);
  // The host's own answer is passed on: its segment and its list.
  EXPECT_EQ(run.segmentCount, 1u);
  EXPECT_EQ(memory.lastGuid, testhost::kHostGuid);
  EXPECT_EQ(Codes(memory.lastRecords), (std::vector<uint8_t>{proc::kOpen, proc::kEnd}));
  EXPECT_TRUE(testhost::StatusesOf(sink.Get()).empty());

  EXPECT_EQ(run.Step(2), kLast);
  EXPECT_EQ(testhost::HostLog().calls, 1);
  EXPECT_FALSE(run.hadProcedures);
  ASSERT_EQ(testhost::StatusesOf(sink.Get()).size(), 1u);
  EXPECT_EQ(testhost::StatusesOf(sink.Get())[0].text, "Download of DX 47x finished");
}

TEST_F(DownloadSteps, ModeFFDelegatesWritesEverythingThenRestarts) {
  project.SetParametersLoaded(deviceId, true);
  com::ComPtr<IDeviceDownload> hawk = NewHawk();
  testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
  EXPECT_EQ(run.Step(0xFF), S_OK);
  EXPECT_EQ(testhost::HostLog().calls, 1);

  EXPECT_EQ(run.Step(0xFF), S_OK);
  const size_t length = CurrentImage().size();
  // The block identifier is made invalid first (from a two-byte segment
  // below the image); the telegram that holds it comes last.
  EXPECT_EQ(Codes(memory.lastRecords),
            (std::vector<uint8_t>{proc::kOpen, proc::kWriteRange, proc::kWriteRange, proc::kWriteRange,
                                  proc::kClose, proc::kEnd}));
  EXPECT_EQ(run.segmentCount, 2u);
  ASSERT_EQ(memory.accesses.size(), 3u);
  EXPECT_EQ(memory.accesses[0].start, kBase);
  EXPECT_EQ(memory.accesses[0].end, kBase);
  EXPECT_EQ(memory.accesses[1].start, kBase + 12);
  EXPECT_EQ(memory.accesses[1].end, kBase + length - 1);
  EXPECT_EQ(memory.accesses[2].start, kBase);
  EXPECT_EQ(memory.accesses[2].end, kBase + 11);
  EXPECT_TRUE(MemoryHoldsCurrentImage());
  EXPECT_EQ(testhost::StatusesOf(sink.Get()).at(0).kind, kStatusKindDecision);
  EXPECT_EQ(testhost::StatusesOf(sink.Get()).at(0).text, "a complete download was requested");
  EXPECT_FALSE(project.ParametersLoaded(deviceId));  // until the finish step
  EXPECT_EQ(memory.restarts, 0);

  EXPECT_EQ(run.Step(0xFF), kLast);
  EXPECT_EQ(Codes(memory.lastRecords),
            (std::vector<uint8_t>{proc::kOpen, proc::kRestart, proc::kAfterRestart, proc::kEnd}));
  EXPECT_EQ(memory.restarts, 1);
  EXPECT_EQ(run.progress, 100);
  EXPECT_TRUE(project.ParametersLoaded(deviceId));
  auto stored = Stored();
  EXPECT_EQ(std::memcmp(&stored->Blob().Current, &stored->Blob().Downloaded, sizeof(dx470::PARAM)), 0);
  EXPECT_EQ(testhost::StatusesOf(sink.Get()).back().text, "Download of DX 47x finished");
  EXPECT_EQ(testhost::HostLog().calls, 1);
}

TEST_F(DownloadSteps, ANewDeviceGetsEverythingAndASecondDownloadOnlyTheBlockInformation) {
  {
    com::ComPtr<IDeviceDownload> hawk = NewHawk();
    testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
    ASSERT_EQ(run.Step(1), S_OK);
    // Prepare: read the block information and the general bytes.
    EXPECT_EQ(testhost::StatusesOf(sink.Get()).at(0).kind, 1);
    EXPECT_EQ(testhost::StatusesOf(sink.Get()).at(0).text, "Checking data for download");
    EXPECT_EQ(run.segmentCount, 1u);
    ASSERT_EQ(memory.accesses.size(), 1u);
    EXPECT_EQ(memory.accesses[0].code, proc::kReadRange);
    EXPECT_EQ(memory.accesses[0].start, kBase);
    EXPECT_EQ(memory.accesses[0].end, 0x7842);
    EXPECT_EQ(testhost::HostLog().calls, 0);

    // A blank device reads back zeros, as the never-downloaded copy holds:
    // still everything is written.
    ASSERT_EQ(run.Step(1), S_OK);
    ASSERT_EQ(memory.accesses.size(), 3u);
    EXPECT_EQ(memory.accesses[1].end, kBase + CurrentImage().size() - 1);
    EXPECT_EQ(testhost::StatusesOf(sink.Get()).at(1).kind, kStatusKindDecision);
    EXPECT_EQ(testhost::StatusesOf(sink.Get()).at(1).text, "the configuration was never downloaded");
    EXPECT_NE(Trace().find("Blockinformationen sind nicht gleich --> komplter Download"), std::string::npos);
    EXPECT_EQ(run.Step(1), kLast);
    EXPECT_TRUE(MemoryHoldsCurrentImage());
    EXPECT_TRUE(project.ParametersLoaded(deviceId));
  }

  ForgetTrace();
  com::ComPtr<IDeviceDownload> hawk = NewHawk();
  testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
  PrepareAndCompare(run);
  // Nothing changed: no invalidation, the block information in two writes.
  EXPECT_EQ(Codes(memory.lastRecords), (std::vector<uint8_t>{proc::kOpen, proc::kWriteRange,
                                                             proc::kWriteRange, proc::kClose, proc::kEnd}));
  ASSERT_EQ(memory.accesses.size(), 2u);
  EXPECT_EQ(memory.accesses[0].start, kBase + 12);
  EXPECT_EQ(memory.accesses[0].end, kBase + 19);
  EXPECT_EQ(memory.accesses[1].start, kBase);
  EXPECT_EQ(memory.accesses[1].end, kBase + 11);
  EXPECT_EQ(Trace().find("nicht gleich"), std::string::npos);
  EXPECT_EQ(run.Step(1), kLast);
}

TEST_F(DownloadSteps, OneChangedCharacterIsOneRunBesideTheChecksumAndTheBlockInformation) {
  ASSERT_EQ(Download(1), 3);
  Edit([](dx470::PARAM& p) { p.Lcd.Messages[3].Text[1][4] = 'Q'; });
  const uint32_t changed = kBase + 35 + 3 * 236 + 2 + 30 + 4;

  com::ComPtr<IDeviceDownload> hawk = NewHawk();
  testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
  PrepareAndCompare(run);
  // The block identifier made invalid, the messages' checksum (block bytes
  // 14..15), the character, then the whole block information last, its
  // identifier at the very end.
  ASSERT_EQ(memory.accesses.size(), 5u);
  EXPECT_EQ(memory.accesses[0].start, kBase);
  EXPECT_EQ(memory.accesses[0].end, kBase);
  EXPECT_EQ(memory.accesses[1].start, kBase + 14);
  EXPECT_LE(memory.accesses[1].end, kBase + 15);
  EXPECT_EQ(memory.accesses[2].start, changed);
  EXPECT_EQ(memory.accesses[2].end, changed);
  EXPECT_EQ(memory.accesses[3].start, kBase + 12);
  EXPECT_EQ(memory.accesses[3].end, kBase + 19);
  EXPECT_EQ(memory.accesses[4].start, kBase);
  EXPECT_EQ(memory.accesses[4].end, kBase + 11);
  EXPECT_NE(Trace().find(base::Format("Add Segment Startadress %x Anzahl 1", changed)), std::string::npos);
  EXPECT_TRUE(MemoryHoldsCurrentImage());
  EXPECT_EQ(run.Step(1), kLast);
}

TEST_F(DownloadSteps, RunsAreAtMostTwelveBytesAndCoverEveryChange) {
  ASSERT_EQ(Download(1), 3);
  // 30 changed bytes in a row, a gap of 11 equal bytes, one more change; a
  // longer font 2 appends bytes the device never had.
  Edit([](dx470::PARAM& p) {
    for (uint8_t& c : p.Lcd.Messages[0].Text[2]) c = 'Z';
    p.Lcd.Messages[0].Options ^= 0x01;
    p.Lcd.Fonts[1].Last += 1;
  });
  com::ComPtr<IDeviceDownload> hawk = NewHawk();
  testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
  PrepareAndCompare(run);
  ASSERT_GE(memory.accesses.size(), 4u);
  // The runs, then the block information in two writes.
  for (size_t i = 0; i + 2 < memory.accesses.size(); ++i) {
    const testhost::Access& a = memory.accesses[i];
    EXPECT_LE(a.end - a.start + 1, 12) << "run " << i;
    if (i + 3 < memory.accesses.size()) {
      EXPECT_GT(memory.accesses[i + 1].start, a.end) << "runs go upwards without overlap";
    }
  }
  const uint32_t row = kBase + 35 + 2 + 60;
  auto starts = [&](uint32_t address) {
    return std::any_of(memory.accesses.begin(), memory.accesses.end(),
                       [&](const testhost::Access& a) { return a.start == address; });
  };
  EXPECT_TRUE(starts(row));
  EXPECT_TRUE(starts(row + 12));
  EXPECT_TRUE(starts(row + 24));
  EXPECT_EQ(memory.accesses.back().start, kBase);
  EXPECT_EQ(memory.accesses.back().end, kBase + 11);
  EXPECT_TRUE(MemoryHoldsCurrentImage());
  EXPECT_EQ(run.Step(1), kLast);
}

TEST_F(DownloadSteps, AConfigurationTooLargeForTheDeviceIsRefusedBeforeAnythingIsWritten) {
  ASSERT_EQ(Download(1), 3);
  auto before = Stored();
  Edit([](dx470::PARAM& p) {
    dx470::ZEICHENSATZ& font = p.Lcd.Fonts[0];
    font.First = 0;
    font.Last = 255;
    font.Height = 20;
    for (dx470::ZEICHEN& g : font.Glyphs) g.Width = 40, g.Height = 20;
  });
  project.SetParametersLoaded(deviceId, true);
  const std::vector<uint8_t> memoryBefore = memory.memory;
  com::ComPtr<IDeviceDownload> hawk = NewHawk();
  testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
  EXPECT_EQ(run.Step(1), kLast);
  EXPECT_FALSE(run.hadProcedures);
  EXPECT_EQ(run.segmentCount, 0u);
  EXPECT_EQ(memory.memory, memoryBefore);
  ASSERT_EQ(testhost::ErrorsOf(sink.Get()).size(), 1u);
  const testhost::ReportedError& e = testhost::ErrorsOf(sink.Get())[0];
  EXPECT_EQ(uint32_t(e.code), 0x80000008u);
  // The text names what the image needs and what the device has.
  const size_t needed = 3811 + 26402 + dx470::PackedSize(Stored()->Param().Lcd.Fonts[1]).size;
  EXPECT_EQ(e.description,
            "Download error The fonts are too large for the display memory. Use fewer or smaller "
            "characters. (" +
                std::to_string(needed) + " bytes needed, 15839 available) !!!");
  // Nothing in the project changed: the flag and the copy stay.
  EXPECT_TRUE(project.ParametersLoaded(deviceId));
  auto after = Stored();
  EXPECT_EQ(std::memcmp(&before->Blob().Downloaded, &after->Blob().Downloaded, sizeof(dx470::PARAM)), 0);
}

TEST_F(DownloadSteps, FailuresBeforeTheDriverAreReturnedWithoutAReport) {
  com::ComPtr<IDeviceDownload> hawk = NewHawk();
  ImageSegmentList in{0, nullptr}, out{0, nullptr};
  com::ComPtr<IStream> procedures;
  SHORT progress = 0;
  EXPECT_EQ(hawk->Download(deviceData.Get(), 0, 0, sink.Get(), 1, nullptr, &out, &procedures, &progress),
            E_POINTER);
  EXPECT_EQ(hawk->Download(deviceData.Get(), 0, 0, sink.Get(), 1, &in, &out, &procedures, nullptr),
            E_POINTER);

  // A device without BLOB.
  com::ComPtr<IDevice> bare = DeviceObject(AddDevice("1.1.6"));
  com::ComPtr<IUnknown> bareData = testhost::MakeDownloadData(bare.Get());
  EXPECT_EQ(hawk->Download(bareData.Get(), 0, 0, sink.Get(), 1, &in, &out, &procedures, &progress),
            CDX470Data::kNoBlob);
  EXPECT_NE(Trace().find("'m_oDX470Data.ReadBlobAndEtsParameter' ist leider fehlgeschlagen"),
            std::string::npos);
  EXPECT_TRUE(testhost::ErrorsOf(sink.Get()).empty());
  EXPECT_FALSE(procedures);
}

TEST_F(DownloadSteps, AFailingHostDownloadIsReturned) {
  testhost::HostLog().result = E_ACCESSDENIED;
  com::ComPtr<IDeviceDownload> hawk = NewHawk();
  testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
  EXPECT_EQ(run.Step(0xFF), E_ACCESSDENIED);
  EXPECT_NE(Trace().find("'imageOut.Init' ist leider fehlgeschlagen"), std::string::npos);
  EXPECT_TRUE(testhost::ErrorsOf(sink.Get()).empty());
}

TEST(DownloadFailure, WithoutTheHostsDownloadObjectNothingStarts) {
  testsupport::FakeDeviceState state = testsupport::Dx47xState();
  com::ComPtr<IDevice> device = testsupport::MakeFakeDevice(&state);
  com::ComPtr<IStatusSink> sink = testhost::MakeStatusSink();
  com::ComPtr<IUnknown> deviceData = testhost::MakeDownloadData(device.Get());
  com::ComPtr<IDeviceDownload> hawk = NewHawk();
  ImageSegmentList in{0, nullptr}, out{0, nullptr};
  com::ComPtr<IStream> procedures;
  SHORT progress = 0;
  EXPECT_EQ(hawk->Download(deviceData.Get(), 0, 0, sink.Get(), 1, &in, &out, &procedures, &progress),
            REGDB_E_CLASSNOTREG);
  EXPECT_TRUE(testhost::ErrorsOf(sink.Get()).empty());
  EXPECT_EQ(state.extWrites, 0);
}

// A device whose calls fail on demand.
TEST(DownloadFailure, AFailedFinishIsReportedAndLeavesCopyAndFlagAsTheyWere) {
  testhost::ScopedHostDownload hostDownload;
  testsupport::FakeDeviceState state = testsupport::Dx47xState();
  com::ComPtr<IDevice> device = testsupport::MakeFakeDevice(&state);
  {
    CDX470Data data;
    ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
    ASSERT_EQ(data.WriteBlob(), S_OK);
  }
  state.parametersLoaded = 1;
  com::ComPtr<IStatusSink> sink = testhost::MakeStatusSink();
  com::ComPtr<IUnknown> deviceData = testhost::MakeDownloadData(device.Get());
  testhost::SimulatedDevice memory;
  com::ComPtr<IDeviceDownload> hawk = NewHawk();
  testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
  ASSERT_EQ(run.Step(1), S_OK);
  EXPECT_EQ(state.parametersLoaded, 0);  // the prepare step clears it
  ASSERT_EQ(run.Step(1), S_OK);

  state.failWriteExtData = E_FAIL;
  EXPECT_EQ(run.Step(1), kLast);
  EXPECT_FALSE(run.hadProcedures);  // no restart of a device whose data was not remembered
  EXPECT_EQ(memory.restarts, 0);
  ASSERT_EQ(testhost::ErrorsOf(sink.Get()).size(), 1u);
  EXPECT_EQ(uint32_t(testhost::ErrorsOf(sink.Get())[0].code), 0x80000008u);
  EXPECT_EQ(testhost::ErrorsOf(sink.Get())[0].description,
            "Download error " + base::ErrorText(E_FAIL) + " !!!");
  EXPECT_EQ(state.parametersLoaded, 0);

  state.failWriteExtData = S_OK;
  CDX470Data stored;
  ASSERT_EQ(stored.EtsInit(device.Get()), S_OK);
  ASSERT_EQ(stored.DataInit(), S_OK);
  const auto* copy = dx470::Bytes(stored.Blob().Downloaded);
  EXPECT_TRUE(std::all_of(copy, copy + sizeof(dx470::PARAM), [](uint8_t b) { return b == 0; }));
}

}  // namespace
