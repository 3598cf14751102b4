#include "host/project_blob.h"

#include "base/strings.h"
#include "host/project.h"

namespace host {
namespace {

namespace layout = dx47x::blob;

uint32_t VersionOf(const std::vector<uint8_t>& bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

}  // namespace

std::optional<std::string> BlobDefect(const StoredValue& value) {
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return std::nullopt;
  if (value.vt != (VT_ARRAY | VT_UI1)) return base::Format("is not a byte array (type 0x%04X)", value.vt);
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
  const bool restorable =
      previous && !BlobDefect(*previous) && previous->vt != VT_NULL && previous->vt != VT_EMPTY;
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
  const uint8_t* param = blob.data() + layout::kCurrentOffset;
  for (int slot = 0; slot < layout::kMessageSlots; ++slot) {
    if (param[layout::kReceiveTypesOffset + slot] == 0) continue;
    MessageSummary m;
    m.slot = slot;
    m.receiveType = param[layout::kReceiveTypesOffset + slot];
    m.sendType = param[layout::kSendTypesOffset + slot];
    const uint8_t* row =
        param + layout::kMessagesOffset + layout::kMessageSize * slot + layout::kFirstRowOffset;
    m.firstRow.assign(reinterpret_cast<const char*>(row), layout::kRowLength);
    out.push_back(std::move(m));
  }
  return out;
}

}  // namespace host
