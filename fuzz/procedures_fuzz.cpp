// Fuzz target of the procedure-record executor: host::ExecuteProcedures over
// a host::MemoryLink (64 KiB of device memory) with fuzzed image segments
// and records, optionally behind a link that fails after some telegrams, a
// record limit and verification. Every segment buffer is its own allocation
// of exactly its length, so a run outside a segment is caught. When a list
// runs through, its plan (host::PlanProcedures) must be the traffic it made,
// and with one segment the device must hold what the list wrote.
//
// Input (FuzzedDataProvider): flags, up to four segments (type, start,
// length, which buffers exist), then the records; the procedure GUID is put
// in front of them unless a flag says the input brings its own.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "com/comptr.h"
#include "com/stream.h"
#include "host/device_link.h"
#include "host/procedure_executor.h"
#include "hostapi/procedures.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "procedures: %s\n", what);
  std::abort();
}

bool SameTraffic(const host::BusTraffic& a, const host::BusTraffic& b) {
  return a.bytesWritten == b.bytesWritten && a.bytesRead == b.bytesRead &&
         a.bytesVerified == b.bytesVerified && a.writeTelegrams == b.writeTelegrams &&
         a.readTelegrams == b.readTelegrams && a.restarts == b.restarts && a.connects == b.connects &&
         a.disconnects == b.disconnects && a.bitTimes == b.bitTimes &&
         a.lastWriteAddress == b.lastWriteAddress;
}

com::ComPtr<IStream> StreamOf(const std::vector<uint8_t>& bytes) {
  com::ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return {};
  ULONG written = 0;
  if (!bytes.empty() &&
      (FAILED(stream->Write(bytes.data(), ULONG(bytes.size()), &written)) || written != bytes.size()))
    return {};
  return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool verify = in.ConsumeBool();
  const bool ownGuid = in.ConsumeBool();
  const bool limited = in.ConsumeBool();
  const size_t recordLimit = limited ? in.ConsumeIntegralInRange<size_t>(0, 64) : SIZE_MAX;
  const bool failing = in.ConsumeBool();
  const uint64_t failAt = failing ? in.ConsumeIntegralInRange<uint64_t>(0, 4096) : 0;

  const uint32_t count = in.ConsumeIntegralInRange<uint32_t>(0, 4);
  std::vector<std::unique_ptr<uint8_t[]>> buffers;
  std::vector<ImageSegment> segments(count);
  for (ImageSegment& s : segments) {
    s.type = in.ConsumeBool() ? 2 : in.ConsumeIntegral<uint8_t>();
    s.identifier = 0;
    s.start = in.ConsumeIntegralInRange<uint32_t>(0, 0x10000);
    s.length = in.ConsumeIntegralInRange<uint32_t>(0, 0x10000);
    s.data = s.second = nullptr;
    if (!in.ConsumeBool() && s.length > 0) {
      buffers.emplace_back(new uint8_t[s.length]);
      s.data = buffers.back().get();
      for (uint32_t i = 0; i < s.length; ++i) s.data[i] = uint8_t(i * 7 + s.start);
    }
    if (in.ConsumeBool() && s.length > 0) {
      buffers.emplace_back(new uint8_t[s.length]());
      s.second = buffers.back().get();
    }
  }
  ImageSegmentList list{count, segments.data()};

  std::vector<uint8_t> bytes;
  if (!ownGuid) {
    bytes.resize(dx470::proc::kGuidSize);
    std::memcpy(bytes.data(), &dx470::proc::kProcedureGuid, sizeof(GUID));
  }
  const std::vector<uint8_t> records = in.ConsumeRemainingBytes<uint8_t>();
  bytes.insert(bytes.end(), records.begin(), records.end());
  com::ComPtr<IStream> stream = StreamOf(bytes);
  if (!stream) return 0;

  auto memory = std::make_unique<uint8_t[]>(65536);
  host::MemoryLink device(memory.get());
  host::FailingLink broken(device, failAt);
  host::DeviceLink& link = failing ? static_cast<host::DeviceLink&>(broken) : device;
  host::BusTraffic traffic;
  bool wroteWholeImage = false;
  std::string error;
  const bool ok =
      host::ExecuteProcedures(stream.Get(), list, link, traffic, wroteWholeImage, error, recordLimit, verify);
  if (!ok && error.empty()) Fail("a failed list without an error");
  if (ok && !error.empty() && !failing) Fail("a list that ran through with an error");

  if (ok && !failing) {
    if (!SameTraffic(host::PlanProcedures(stream.Get(), list, verify), traffic))
      Fail("the plan of a list is not the traffic it made");
    if (count == 1 && wroteWholeImage) {
      const ImageSegment& s = segments[0];
      if (std::memcmp(memory.get() + s.start, s.data, s.length) != 0)
        Fail("the device does not hold the image written whole");
    }
  }
  return 0;
}
