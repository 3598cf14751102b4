#pragma once
// Procedure records of a display download: what the host executes against
// the device between two download steps. Shared by the plug-in, which writes
// the lists, and the host's executor, which runs them; header only.
//
// A procedure list is a 16-byte GUID (kProcedureGuid, Windows layout)
// followed by records of 16 bytes each. Byte 0 of a record is its code;
// every byte not listed below is 0. Addresses are device memory addresses,
// most significant byte first, and ranges include their end address.
//
//   code  bytes                                 meaning
//   0E    0E                                    open: first record of a list
//   09    09 sH sL eH eL                        write device memory [s, e] from the
//                                               smallest type-2 segment that holds
//                                               [s, e] whole
//   F0    F0 04 00 sH sL eH eL                  read device memory [s, e] into the
//                                               image's type-2 segment holding s:
//                                               its data and its second buffer
//   0D    0D 00 C8                              restart the device (value 200)
//   0C    0C                                    follows a restart record
//   0F    0F                                    close a read or write list
//   FF    FF                                    end: last record of a list
#include <cstddef>
#include <cstdint>

#include "com/guid.h"

namespace dx470::proc {

// {A708ADE0-C76F-11D3-B261-00104B091E6B}
inline constexpr GUID kProcedureGuid = MakeGuid("A708ADE0-C76F-11D3-B261-00104B091E6B");

inline constexpr size_t kRecordSize = 16;
inline constexpr size_t kGuidSize = 16;

inline constexpr uint8_t kOpen = 0x0E;
inline constexpr uint8_t kWriteRange = 0x09;
inline constexpr uint8_t kReadRange = 0xF0;
inline constexpr uint8_t kRestart = 0x0D;
inline constexpr uint8_t kAfterRestart = 0x0C;
inline constexpr uint8_t kClose = 0x0F;
inline constexpr uint8_t kEnd = 0xFF;

// Second byte of a read record and the restart value.
inline constexpr uint8_t kReadMemory = 0x04;
inline constexpr uint8_t kRestartValue = 200;

struct Record {
  uint8_t bytes[kRecordSize];
};
static_assert(sizeof(Record) == kRecordSize);

namespace detail {
constexpr Record Code(uint8_t code) {
  Record r{};
  r.bytes[0] = code;
  return r;
}
constexpr void Put16(Record& r, size_t at, uint16_t v) {
  r.bytes[at] = uint8_t(v >> 8);
  r.bytes[at + 1] = uint8_t(v);
}
constexpr uint16_t Get16(const uint8_t* p, size_t at) { return uint16_t(p[at] << 8 | p[at + 1]); }
}  // namespace detail

constexpr Record Open() { return detail::Code(kOpen); }
constexpr Record Close() { return detail::Code(kClose); }
constexpr Record End() { return detail::Code(kEnd); }
constexpr Record AfterRestart() { return detail::Code(kAfterRestart); }
constexpr Record Restart() {
  Record r = detail::Code(kRestart);
  r.bytes[2] = kRestartValue;
  return r;
}
constexpr Record WriteRange(uint16_t start, uint16_t end) {
  Record r = detail::Code(kWriteRange);
  detail::Put16(r, 1, start);
  detail::Put16(r, 3, end);
  return r;
}
constexpr Record ReadRange(uint16_t start, uint16_t end) {
  Record r = detail::Code(kReadRange);
  r.bytes[1] = kReadMemory;
  detail::Put16(r, 3, start);
  detail::Put16(r, 5, end);
  return r;
}

// The range of a write or read record (record points to its 16 bytes).
struct Range {
  uint16_t start;
  uint16_t end;
};
constexpr Range WriteRangeOf(const uint8_t* record) {
  return {detail::Get16(record, 1), detail::Get16(record, 3)};
}
constexpr Range ReadRangeOf(const uint8_t* record) {
  return {detail::Get16(record, 3), detail::Get16(record, 5)};
}

}  // namespace dx470::proc
