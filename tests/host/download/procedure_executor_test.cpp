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
    return host::ExecuteProcedures(s, list, memory.data(), nullptr, traffic, whole, error, limit);
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
