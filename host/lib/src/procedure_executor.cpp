// Executing the procedure records of one download step against a device.
#include "host/procedure_executor.h"

#include <cstring>
#include <vector>

#include "base/strings.h"
#include "hostapi/procedures.h"
#include "host/simulated_device.h"

namespace host {
namespace {

// A write of the plug-in's image longer than its block information is a
// complete download; a partial one writes the block information last.
constexpr uint32_t kBlockInformationSize = 20;

// The type-2 segment holding [start, end] whole, or null.
ImageSegment* SegmentFor(ImageSegmentList& list, uint32_t start, uint32_t end) {
  for (uint32_t i = 0; i < list.count; ++i) {
    ImageSegment& s = list.segments[i];
    if (s.type == 2 && s.data && start >= s.start && uint64_t(end) < uint64_t(s.start) + s.length)
      return &s;
  }
  return nullptr;
}

bool ReadStream(IStream* stream, std::vector<uint8_t>& bytes) {
  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || stat.cbSize.QuadPart > (1u << 24)) return false;
  LARGE_INTEGER zero{};
  if (FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr))) return false;
  bytes.resize(size_t(stat.cbSize.QuadPart));
  ULONG read = 0;
  if (!bytes.empty() && FAILED(stream->Read(bytes.data(), ULONG(bytes.size()), &read))) return false;
  return read == bytes.size();
}

}  // namespace

bool ExecuteProcedures(IStream* stream, ImageSegmentList& segments, uint8_t* memory,
                       SimulatedDevice* device, BusTraffic& traffic, bool& wroteWholeImage,
                       std::string& error, size_t recordLimit) {
  namespace proc = dx470::proc;
  std::vector<uint8_t> bytes;
  if (!ReadStream(stream, bytes)) {
    error = "the procedure list cannot be read";
    return false;
  }
  if (bytes.size() < proc::kGuidSize) {
    error = "the procedure list is truncated (" + std::to_string(bytes.size()) + " bytes)";
    return false;
  }
  GUID guid;
  std::memcpy(&guid, bytes.data(), sizeof guid);
  if (!(guid == proc::kProcedureGuid)) {
    error = "unknown procedure list " + com::GuidToString(guid);
    return false;
  }
  if ((bytes.size() - proc::kGuidSize) % proc::kRecordSize != 0) {
    error = "the procedure list is truncated: " + std::to_string(bytes.size() - proc::kGuidSize) +
            " record bytes";
    return false;
  }
  for (size_t at = proc::kGuidSize; at < bytes.size(); at += proc::kRecordSize) {
    const uint8_t* r = bytes.data() + at;
    const size_t index = (at - proc::kGuidSize) / proc::kRecordSize;
    if (index >= recordLimit) {
      error = base::Format("the device stopped answering at record %zu", index);
      return false;
    }
    switch (r[0]) {
      case proc::kOpen:
      case proc::kClose:
      case proc::kEnd:
      case proc::kAfterRestart:
        break;
      case proc::kRestart:
        if (device) device->Restart();
        traffic.AddRestart();
        break;
      case proc::kWriteRange:
      case proc::kReadRange: {
        const bool write = r[0] == proc::kWriteRange;
        const size_t o = write ? 1 : 3;
        if (!write && r[1] != proc::kReadMemory) {
          error = base::Format("record %zu reads an unknown kind of memory %02X", index, r[1]);
          return false;
        }
        uint32_t start = uint32_t(r[o] << 8 | r[o + 1]);
        uint32_t end = uint32_t(r[o + 2] << 8 | r[o + 3]);
        ImageSegment* s = start <= end ? SegmentFor(segments, start, end) : nullptr;
        if (!s) {
          error = base::Format("record %zu %s 0x%04X..0x%04X outside every segment", index,
                               write ? "writes" : "reads", start, end);
          return false;
        }
        uint32_t n = end - start + 1;
        uint8_t* mem = memory + start;
        if (write) {
          std::memcpy(mem, s->data + (start - s->start), n);
          traffic.AddWrite(n);
          if (start == s->start && n > kBlockInformationSize) wroteWholeImage = true;
        } else {
          std::memcpy(s->data + (start - s->start), mem, n);
          if (s->second) std::memcpy(s->second + (start - s->start), mem, n);
          traffic.AddRead(n);
        }
        break;
      }
      default:
        error = base::Format("record %zu has the unknown code %02X", index, r[0]);
        return false;
    }
  }
  return true;
}


}  // namespace host
