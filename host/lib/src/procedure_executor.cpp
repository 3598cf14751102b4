// Executing the procedure records of one download step over a device link.
#include "host/procedure_executor.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/strings.h"
#include "hostapi/procedures.h"

namespace host {
namespace {

// The smallest type-2 segment holding [start, end] whole, or null: a small
// segment laid over a large one supplies the bytes it holds.
ImageSegment* SegmentFor(ImageSegmentList& list, uint32_t start, uint32_t end) {
  ImageSegment* best = nullptr;
  for (uint32_t i = 0; i < list.count; ++i) {
    ImageSegment& s = list.segments[i];
    if (s.type == 2 && s.data && start >= s.start && uint64_t(end) < uint64_t(s.start) + s.length &&
        (!best || s.length < best->length))
      best = &s;
  }
  return best;
}

// The largest type-2 segment: the image a step writes whole in a complete
// download.
const ImageSegment* LargestSegment(const ImageSegmentList& list) {
  const ImageSegment* best = nullptr;
  for (uint32_t i = 0; i < list.count; ++i) {
    const ImageSegment& s = list.segments[i];
    if (s.type == 2 && s.data && (!best || s.length > best->length)) best = &s;
  }
  return best;
}

// Writes [start, start + n) in telegrams of at most 12 bytes.
bool WriteRun(DeviceLink& link, uint32_t start, const uint8_t* data, uint32_t n, BusTraffic& traffic,
              std::string& error) {
  for (uint32_t done = 0; done < n;) {
    const uint32_t piece = std::min(n - done, DeviceLink::kMaxTelegramData);
    if (!link.WriteMemory(uint16_t(start + done), data + done, piece, error)) return false;
    traffic.AddWrite(piece, start + done);
    done += piece;
  }
  return true;
}

bool ReadRun(DeviceLink& link, uint32_t start, uint8_t* data, uint32_t n, BusTraffic& traffic,
             std::string& error) {
  for (uint32_t done = 0; done < n;) {
    const uint32_t piece = std::min(n - done, DeviceLink::kMaxTelegramData);
    if (!link.ReadMemory(uint16_t(start + done), data + done, piece, error)) return false;
    traffic.AddRead(piece);
    done += piece;
  }
  return true;
}

// Reads [start, start + n) back and compares it with what was written.
bool VerifyRun(DeviceLink& link, uint32_t start, const uint8_t* written, uint32_t n, BusTraffic& traffic,
               std::string& error) {
  uint8_t back[DeviceLink::kMaxTelegramData];
  for (uint32_t done = 0; done < n;) {
    const uint32_t piece = std::min(n - done, DeviceLink::kMaxTelegramData);
    if (!link.ReadMemory(uint16_t(start + done), back, piece, error)) {
      error = "verify: " + error;
      return false;
    }
    traffic.AddRead(piece);
    traffic.bytesVerified += piece;
    for (uint32_t i = 0; i < piece; ++i)
      if (back[i] != written[done + i]) {
        error = base::Format("verify: the device holds 0x%02X at 0x%04X where 0x%02X was written", back[i],
                             unsigned(start + done + i), written[done + i]);
        return false;
      }
    done += piece;
  }
  return true;
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

bool ExecuteProcedures(IStream* stream, ImageSegmentList& segments, DeviceLink& link, BusTraffic& traffic,
                       bool& wroteWholeImage, std::string& error, size_t recordLimit, bool verify,
                       const RangeObserver& onRange) {
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
  // Which bytes of the largest segment this list wrote.
  const ImageSegment* image = LargestSegment(segments);
  std::vector<bool> written(image ? image->length : 0, false);
  for (size_t at = proc::kGuidSize; at < bytes.size(); at += proc::kRecordSize) {
    const uint8_t* r = bytes.data() + at;
    const size_t index = (at - proc::kGuidSize) / proc::kRecordSize;
    if (index >= recordLimit) {
      error = base::Format("the device stopped answering at record %zu", index);
      return false;
    }
    switch (r[0]) {
      case proc::kOpen:
        if (!link.Connect(error)) return false;
        traffic.AddConnect();
        break;
      case proc::kClose: {
        // Nothing acknowledges a disconnect: every write before it was
        // acknowledged on its own, so a device that is gone by now has what
        // the list wrote, and the next step's connect finds out.
        std::string ignored;
        link.Disconnect(ignored);
        traffic.AddDisconnect();
        break;
      }
      case proc::kEnd:
      case proc::kAfterRestart: break;
      case proc::kRestart:
        if (!link.Restart(error)) return false;
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
        const uint32_t n = end - start + 1;
        uint8_t* at = s->data + (start - s->start);
        if (write) {
          if (!WriteRun(link, start, at, n, traffic, error)) return false;
          if (verify && !VerifyRun(link, start, at, n, traffic, error)) return false;
          if (s == image)
            for (uint32_t i = start - s->start; i < start - s->start + n; ++i) written[i] = true;
        } else {
          if (!ReadRun(link, start, at, n, traffic, error)) return false;
          if (s->second) std::memcpy(s->second + (start - s->start), at, n);
        }
        if (onRange) onRange(r[0], start, end);
        break;
      }
      default: error = base::Format("record %zu has the unknown code %02X", index, r[0]); return false;
    }
  }
  if (!written.empty() && std::find(written.begin(), written.end(), false) == written.end())
    wroteWholeImage = true;
  return true;
}

BusTraffic PlanProcedures(IStream* stream, const ImageSegmentList&, bool verify) {
  namespace proc = dx470::proc;
  BusTraffic plan;
  std::vector<uint8_t> bytes;
  if (!ReadStream(stream, bytes) || bytes.size() < proc::kGuidSize) return plan;
  for (size_t at = proc::kGuidSize; at + proc::kRecordSize <= bytes.size(); at += proc::kRecordSize) {
    const uint8_t* r = bytes.data() + at;
    switch (r[0]) {
      case proc::kOpen: plan.AddConnect(); break;
      case proc::kClose: plan.AddDisconnect(); break;
      case proc::kRestart: plan.AddRestart(); break;
      case proc::kEnd:
      case proc::kAfterRestart: break;
      case proc::kWriteRange:
      case proc::kReadRange: {
        const bool write = r[0] == proc::kWriteRange;
        const size_t o = write ? 1 : 3;
        const uint32_t start = uint32_t(r[o] << 8 | r[o + 1]);
        const uint32_t end = uint32_t(r[o + 2] << 8 | r[o + 3]);
        if (start > end) return plan;
        if (write) {
          plan.AddWrite(end - start + 1, start);
          if (verify) {
            plan.AddRead(end - start + 1);
            plan.bytesVerified += end - start + 1;
          }
        } else {
          plan.AddRead(end - start + 1);
        }
        break;
      }
      default: return plan;
    }
  }
  return plan;
}

}  // namespace host
