#include "host/project_blob.h"

#include "base/strings.h"

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

}  // namespace

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
  uint32_t version = uint32_t(s.bytes[0]) | uint32_t(s.bytes[1]) << 8 |
                     uint32_t(s.bytes[2]) << 16 | uint32_t(s.bytes[3]) << 24;
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
    for (size_t i = 0; i < kRowLength; ++i)
      m.firstRow.push_back(row[i] >= 0x20 && row[i] < 0x7F ? static_cast<char>(row[i]) : '.');
    out.push_back(std::move(m));
  }
  return out;
}

}  // namespace host
