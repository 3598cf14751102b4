#include "host/project_blob.h"

#include "base/strings.h"
#include "host/project.h"

namespace host {
namespace {

// Offsets inside the BLOB: the current parameter image starts at 14; in it
// the receive types at 2, the send types at 18 and the 236-byte message
// records at 69, each with its first 30-byte text row at record offset 2.
constexpr size_t kParamOffset = 14;
constexpr size_t kReceiveTypes = 2;
constexpr size_t kSendTypes = 18;
constexpr size_t kRecords = 69;
constexpr size_t kRecordSize = 236;
constexpr size_t kRowOffset = 2;
constexpr size_t kRowLength = 30;

uint32_t VersionOf(const std::vector<uint8_t>& bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
}

}  // namespace

std::optional<std::string> BlobDefect(const StoredValue& value) {
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return std::nullopt;
  if (value.vt != (VT_ARRAY | VT_UI1))
    return base::Format("is not a byte array (type 0x%04X)", value.vt);
  if (size_t dims = value.bounds.size() / 8; dims != 1)
    return base::Format("is a %zu-dimensional array, not a list of bytes", dims);
  if (value.data.size() != kBlobSize)
    return base::Format("is %zu bytes, not %u", value.data.size(), kBlobSize);
  if (uint32_t version = VersionOf(value.data); version != kBlobVersion)
    return base::Format("has version 0x%08X, not 0x%08X", version, kBlobVersion);
  return std::nullopt;
}

std::optional<std::string> ConfigurationProblem(const Project& project, int64_t deviceId) {
  const std::string address = project.AddressOf(deviceId).ToString();
  std::optional<StoredValue> stored = project.ReadExtData(deviceId, kBlobKey);
  if (!stored || stored->vt == VT_NULL || stored->vt == VT_EMPTY)
    return "device " + address + " has no configuration (add it again or import a BLOB)";
  std::optional<std::string> defect = BlobDefect(*stored);
  if (!defect) return std::nullopt;
  std::optional<StoredValue> previous = project.PreviousExtData(deviceId, kBlobKey);
  const bool restorable = previous && !BlobDefect(*previous) && previous->vt != VT_NULL &&
                          previous->vt != VT_EMPTY;
  return "device " + address + ": the stored configuration " + *defect +
         (restorable ? " (bring back the previous one with 'blob " + address +
                           " --restore-previous', or import a valid BLOB)"
                     : " (import a valid BLOB)");
}

BlobState InspectBlob(const std::optional<StoredValue>& stored) {
  BlobState s;
  if (!stored || stored->vt == VT_NULL || stored->vt == VT_EMPTY) {
    s.text = "none";
    return s;
  }
  s.kind = BlobState::Kind::Invalid;
  if (stored->vt != (VT_ARRAY | VT_UI1)) {
    s.text = base::Format("invalid (value of type 0x%04X, not a byte array)", stored->vt);
    return s;
  }
  s.bytes = stored->data;
  size_t dims = stored->bounds.size() / 8;
  if (dims != 1) {
    s.text = base::Format("invalid (%zu-dimensional array, %zu bytes)", dims, s.bytes.size());
    return s;
  }
  if (s.bytes.size() != kBlobSize) {
    s.text = base::Format("invalid (%zu bytes, expected %u)", s.bytes.size(), kBlobSize);
    return s;
  }
  uint32_t version = VersionOf(s.bytes);
  if (version != kBlobVersion) {
    s.text = base::Format("invalid (version 0x%08X, expected 0x%08X)", version, kBlobVersion);
    return s;
  }
  s.kind = BlobState::Kind::Ok;
  s.text = base::Format("ok (%u bytes, version 0x%08X)", kBlobSize, kBlobVersion);
  return s;
}

std::vector<MessageSummary> UsedMessages(const std::vector<uint8_t>& blob) {
  std::vector<MessageSummary> out;
  if (blob.size() != kBlobSize) return out;
  const uint8_t* param = blob.data() + kParamOffset;
  for (int slot = 0; slot < 16; ++slot) {
    if (param[kReceiveTypes + slot] == 0) continue;
    MessageSummary m;
    m.slot = slot;
    m.receiveType = param[kReceiveTypes + slot];
    m.sendType = param[kSendTypes + slot];
    const uint8_t* row = param + kRecords + kRecordSize * slot + kRowOffset;
    m.firstRow.assign(reinterpret_cast<const char*>(row), kRowLength);
    out.push_back(std::move(m));
  }
  return out;
}

}  // namespace host
