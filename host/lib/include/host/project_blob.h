#pragma once
// What the host can tell about a DX 47x device's BLOB (the extension data
// under "DX470") without the plug-in: whether it is there, its length and
// version, and the messages it defines.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/project_value.h"
#include "hostapi/dx47x_blob.h"

namespace host {

class Project;

// The record's layout belongs to hostapi/dx47x_blob.h.
inline constexpr const char* kBlobKey = dx47x::blob::kKey;
inline constexpr uint32_t kBlobSize = dx47x::blob::kSize;
inline constexpr uint32_t kBlobVersion = dx47x::blob::kVersion;

struct BlobState {
  enum class Kind { None, Ok, Invalid } kind = Kind::None;
  // "none", "ok (112292 bytes, version 0x00010000)" or "invalid (why)".
  std::string text;
  // The bytes of a byte array (any length), empty otherwise.
  std::vector<uint8_t> bytes;
};

// Judges the stored value of the key "DX470" (nullopt: never written).
BlobState InspectBlob(const std::optional<StoredValue>& stored);

// What keeps the plug-in from reading a value as a BLOB, as it checks when it
// reads one (a one-dimensional byte array of 112292 bytes starting with the
// version word), completing "the stored configuration ...": "is 100 bytes,
// not 112292", "has version 0x00010001, not 0x00010000", "is not a byte
// array (type 0x0003)"; nullopt for a valid BLOB and for none at all.
std::optional<std::string> BlobDefect(const StoredValue& value);

// Why the plug-in would refuse a device's configuration, as one line for
// people, or nullopt when it would read it: "device 1.1.7 has no
// configuration (add it again or import a BLOB)", "device 1.1.7: the stored
// configuration is 100 bytes, not 112292 (...)". Commands check this before
// they hand a device to the plug-in, which would answer with a code only.
// Throws ProjectError when the device does not exist.
std::optional<std::string> ConfigurationProblem(const Project& project, int64_t deviceId);

struct MessageSummary {
  int slot = 0;             // 0..15
  uint8_t receiveType = 0;  // nonzero: the slot is used
  uint8_t sendType = 0;
  std::string firstRow;  // the first text row, in device character codes
};

// The used message slots of a valid BLOB (112292 bytes).
std::vector<MessageSummary> UsedMessages(const std::vector<uint8_t>& blob);

}  // namespace host
