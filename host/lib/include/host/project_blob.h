#pragma once
// What the host can tell about a DX 47x device's BLOB (the extension data
// under "DX470") without the plug-in: whether it is there, its length and
// version, and the messages it defines.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/project_value.h"

namespace host {

constexpr char kBlobKey[] = "DX470";
constexpr uint32_t kBlobSize = 112292;
constexpr uint32_t kBlobVersion = 0x00010000;

struct BlobState {
  enum class Kind { None, Ok, Invalid } kind = Kind::None;
  // "none", "ok (112292 bytes, version 0x00010000)" or "invalid (why)".
  std::string text;
  // The bytes of a byte array (any length), empty otherwise.
  std::vector<uint8_t> bytes;
};

// Judges the stored value of the key "DX470" (nullopt: never written).
BlobState InspectBlob(const std::optional<StoredValue>& stored);

struct MessageSummary {
  int slot = 0;             // 0..15
  uint8_t receiveType = 0;  // nonzero: the slot is used
  uint8_t sendType = 0;
  std::string firstRow;     // the first text row, non-printable bytes as '.'
};

// The used message slots of a valid BLOB (112292 bytes).
std::vector<MessageSummary> UsedMessages(const std::vector<uint8_t>& blob);

}  // namespace host
