// Procedure lists executed against device memory, record by record.
#include "host/procedure_executor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "com/comptr.h"
#include "com/memory.h"
#include "hostapi/procedures.h"

namespace {

namespace proc = dx470::proc;

com::ComPtr<IStream> List(const std::vector<proc::Record>& records, const GUID& guid = proc::kProcedureGuid,
                          size_t dropBytes = 0) {
  std::vector<uint8_t> bytes(sizeof(GUID));
  std::memcpy(bytes.data(), &guid, sizeof guid);
  for (const proc::Record& r : records) bytes.insert(bytes.end(), r.bytes, r.bytes + proc::kRecordSize);
  bytes.resize(bytes.size() - dropBytes);
  com::ComPtr<IStream> s;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &s), S_OK);
  ULONG n = 0;
  s->Write(bytes.data(), ULONG(bytes.size()), &n);
  return s;
}

// One type-2 segment at 0x7820 of 64 bytes holding 0, 1, 2, ...; with a
// second buffer.
struct Segments {
  Segments() {
    list.count = 1;
    list.segments = static_cast<ImageSegment*>(CoTaskMemAlloc(sizeof(ImageSegment)));
    auto* data = static_cast<uint8_t*>(CoTaskMemAlloc(64));
    auto* second = static_cast<uint8_t*>(CoTaskMemAlloc(64));
    for (int i = 0; i < 64; ++i) data[i] = uint8_t(i);
    std::memset(second, 0, 64);
    list.segments[0] = ImageSegment{2, 0, 0x7820, 64, data, second};
  }
  ~Segments() {
    CoTaskMemFree(list.segments[0].data);
    CoTaskMemFree(list.segments[0].second);
    CoTaskMemFree(list.segments);
  }
  ImageSegmentList list{};
};

struct Executor {
  std::vector<uint8_t> memory = std::vector<uint8_t>(65536, 0xEE);
  host::BusTraffic traffic;
  bool whole = false;
  std::string error;
  bool Execute(IStream* s, ImageSegmentList& list, size_t limit = SIZE_MAX) {
    host::MemoryLink link(memory.data());
    return host::ExecuteProcedures(s, list, link, traffic, whole, error, limit);
  }
};

TEST(ProcedureExecutor, WritesAndReadsThroughTheSegments) {
  Segments seg;
  Executor run;
  auto writes = List({proc::Open(), proc::WriteRange(0x7822, 0x7825), proc::Close(), proc::End()});
  ASSERT_TRUE(run.Execute(writes.Get(), seg.list)) << run.error;
  EXPECT_EQ(run.memory[0x7821], 0xEE);
  EXPECT_EQ(run.memory[0x7822], 2);
  EXPECT_EQ(run.memory[0x7825], 5);
  EXPECT_EQ(run.memory[0x7826], 0xEE);
  EXPECT_EQ(run.traffic.bytesWritten, 4u);
  EXPECT_EQ(run.traffic.writeTelegrams, 1u);
  EXPECT_FALSE(run.whole);

  run.memory[0x7830] = 0x99;
  auto reads = List({proc::Open(), proc::ReadRange(0x7830, 0x7834), proc::Close(), proc::End()});
  ASSERT_TRUE(run.Execute(reads.Get(), seg.list)) << run.error;
  EXPECT_EQ(seg.list.segments[0].data[0x10], 0x99);  // both buffers get what the device holds
  EXPECT_EQ(seg.list.segments[0].second[0x10], 0x99);
  EXPECT_EQ(seg.list.segments[0].second[0x15], 0);  // outside the range read
  EXPECT_EQ(run.traffic.readTelegrams, 1u);
}

TEST(ProcedureExecutor, TelegramsCarryAtMostTwelveBytes) {
  Segments seg;
  Executor run;
  auto whole = List({proc::Open(), proc::WriteRange(0x7820, 0x7820 + 63), proc::Close(), proc::End()});
  ASSERT_TRUE(run.Execute(whole.Get(), seg.list));
  EXPECT_EQ(run.traffic.writeTelegrams, 6u);  // 64 bytes: 5 × 12 + 4
  EXPECT_TRUE(run.whole);
  EXPECT_GT(run.traffic.Seconds(), 0.0);
}

TEST(ProcedureExecutor, RefusesBadListsAndKeepsWhatRanBefore) {
  Segments seg;
  {
    Executor run;
    proc::Record unknown = proc::Open();
    unknown.bytes[0] = 0x42;
    auto s = List({proc::Open(), proc::WriteRange(0x7820, 0x7821), unknown, proc::End()});
    EXPECT_FALSE(run.Execute(s.Get(), seg.list));
    EXPECT_NE(run.error.find("record 2 has the unknown code 42"), std::string::npos) << run.error;
    EXPECT_EQ(run.memory[0x7821], 1);  // the write before it was executed
  }
  {
    Executor run;
    auto s = List({proc::Open(), proc::WriteRange(0x7850, 0x7870), proc::End()});
    EXPECT_FALSE(run.Execute(s.Get(), seg.list));
    EXPECT_NE(run.error.find("outside every segment"), std::string::npos);
    EXPECT_EQ(run.memory[0x7860], 0xEE);
  }
  {
    Executor run;
    auto s = List({proc::Open(), proc::End()}, proc::kProcedureGuid, 3);
    EXPECT_FALSE(run.Execute(s.Get(), seg.list));
    EXPECT_NE(run.error.find("truncated"), std::string::npos);
  }
  {
    Executor run;
    auto s = List({proc::Open(), proc::End()}, MakeGuid("00000000-0000-0000-0000-000000000001"));
    EXPECT_FALSE(run.Execute(s.Get(), seg.list));
    EXPECT_NE(run.error.find("unknown procedure list"), std::string::npos);
  }
  {
    Executor run;
    auto s = List({proc::Open(), proc::WriteRange(0x7820, 0x7821), proc::WriteRange(0x7822, 0x7823)});
    EXPECT_FALSE(run.Execute(s.Get(), seg.list, 2));
    EXPECT_EQ(run.memory[0x7821], 1);
    EXPECT_EQ(run.memory[0x7822], 0xEE);
  }
}

}  // namespace

TEST(ProcedureExecutor, ASmallSegmentOverAnImageSuppliesTheBytesItHoldsWhole) {
  Segments seg;  // 64 bytes at 0x7820 holding 0, 1, 2, ...
  auto* overlay = static_cast<uint8_t*>(CoTaskMemAlloc(2));
  overlay[0] = 0x55;
  overlay[1] = 0xAA;
  auto* grown = static_cast<ImageSegment*>(CoTaskMemRealloc(seg.list.segments, 2 * sizeof(ImageSegment)));
  ASSERT_NE(grown, nullptr);
  seg.list.segments = grown;
  seg.list.segments[1] = ImageSegment{2, 0, 0x781F, 2, overlay, nullptr};
  seg.list.count = 2;

  Executor run;
  auto s = List({proc::Open(), proc::WriteRange(0x7820, 0x7820), proc::WriteRange(0x7821, 0x7822),
                 proc::Close(), proc::End()});
  ASSERT_TRUE(run.Execute(s.Get(), seg.list)) << run.error;
  EXPECT_EQ(run.memory[0x7820], 0xAA);  // the overlay holds it whole
  EXPECT_EQ(run.memory[0x781F], 0xEE);  // never written
  EXPECT_EQ(run.memory[0x7821], 1);     // only the image holds this range
  auto block = List({proc::Open(), proc::WriteRange(0x7820, 0x7823), proc::Close(), proc::End()});
  ASSERT_TRUE(run.Execute(block.Get(), seg.list)) << run.error;
  EXPECT_EQ(run.memory[0x7820], 0);  // a range the overlay holds in part comes from the image

  CoTaskMemFree(overlay);
  seg.list.count = 1;
}

TEST(ProcedureExecutor, ALinkThatStopsAnsweringEndsTheListAfterTheLastTelegramThatWentThrough) {
  Segments seg;
  std::vector<uint8_t> memory(65536, 0xEE);
  host::MemoryLink device(memory.data());
  host::FailingLink link(device, 3);  // connect, then two 12-byte writes
  host::BusTraffic traffic;
  bool whole = false;
  std::string error;
  auto s = List({proc::Open(), proc::WriteRange(0x7820, 0x7820 + 63), proc::Close(), proc::End()});
  EXPECT_FALSE(host::ExecuteProcedures(s.Get(), seg.list, link, traffic, whole, error));
  EXPECT_NE(error.find("stopped answering at telegram 4"), std::string::npos) << error;
  EXPECT_EQ(memory[0x7820 + 23], 23);
  EXPECT_EQ(memory[0x7820 + 24], 0xEE);
  EXPECT_EQ(traffic.bytesWritten, 24u);
  EXPECT_EQ(traffic.lastWriteAddress, 0x7820 + 23);
  EXPECT_FALSE(whole);
}

TEST(ProcedureExecutor, LineTimeFollowsTheFramesOnTheLine) {
  // 13 bit times an octet plus 76 a frame; a write of n bytes is 11 + n
  // octets and the device's 8-octet acknowledgement.
  host::BusTraffic t;
  t.AddWrite(12);
  EXPECT_EQ(t.bitTimes, 555u);  // 57.8 ms
  host::BusTraffic r;
  r.AddRead(12);  // request, its acknowledgement, the response and ours
  EXPECT_EQ(r.bitTimes, 219u + 180u + 375u + 180u);
  host::BusTraffic c;
  c.AddConnect();
  c.AddDisconnect();
  c.AddRestart();
  EXPECT_EQ(c.bitTimes, 180u + 180u + 193u);
}
