#pragma once
// The DX 47x configuration record (the BLOB) as a host stores it: the key of
// the device's extension data it lives under, its length and version word,
// and the offsets a host reads without the plug-in (which messages are used,
// their first text rows). The plug-in's record types are checked against
// these at compile time (plugin/data/include/data/records.h), so the layout
// has one owner.
#include <cstddef>
#include <cstdint>

namespace dx47x::blob {

inline constexpr char kKey[] = "DX470";
inline constexpr char16_t kKeyWide[] = u"DX470";
inline constexpr uint32_t kSize = 112292;
// The first four bytes, little-endian.
inline constexpr uint32_t kVersion = 0x00010000;

// The configuration being edited starts at kCurrentOffset; inside it:
inline constexpr size_t kCurrentOffset = 14;
inline constexpr size_t kReceiveTypesOffset = 2;  // one byte per message slot, 0 = unused
inline constexpr size_t kSendTypesOffset = 18;    // one byte per message slot
inline constexpr size_t kMessagesOffset = 69;     // the message records
inline constexpr size_t kMessageSize = 236;
inline constexpr size_t kFirstRowOffset = 2;  // in a message record: its first text row
inline constexpr size_t kRowLength = 30;      // device character codes
inline constexpr int kMessageSlots = 16;

}  // namespace dx47x::blob
