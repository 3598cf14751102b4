#pragma once
// Frames between the host and a device: individual addresses, transport
// protocol data units (TPDUs) and the time a frame takes on a TP1 line.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace bus {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// One TPDU between two individual addresses. The first octet holds the
// transport control field (and the two high bits of an application code).
struct Frame {
  uint16_t source = 0;
  uint16_t destination = 0;
  Bytes tpdu;
};

// 0x1105 -> "1.1.5".
std::string AddressText(uint16_t address);
// "1.1.5" -> 0x1105 (area and line 0..15, device 0..255); false otherwise.
bool ParseAddress(const std::string& text, uint16_t& address);

// "0x%04X"-style helpers for error texts.
std::string Hex(uint32_t value, int digits);
std::string HexBytes(const uint8_t* data, size_t n);

// TP1 at 9600 bit/s: an octet is 13 bit times (11 bits and a gap of 2); a
// frame adds 76 (50 of idle line before it, 15 before its link-layer
// acknowledgement and 11 for that). A standard frame is 7 octets plus the
// TPDU; a TPDU longer than 16 octets needs an extended frame (one more).
constexpr uint64_t kTp1BitRate = 9600;
constexpr size_t kMaxStandardTpdu = 16;
constexpr uint64_t FrameOctets(size_t tpduOctets) {
  return tpduOctets <= kMaxStandardTpdu ? 7 + tpduOctets : 8 + tpduOctets;
}
constexpr uint64_t FrameBits(size_t tpduOctets) { return 13 * FrameOctets(tpduOctets) + 76; }
inline Clock::duration FrameDuration(size_t tpduOctets) {
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(double(FrameBits(tpduOctets)) / double(kTp1BitRate)));
}

// What went over the line in both directions, counted frame by frame.
struct LineStats {
  uint64_t framesSent = 0;
  uint64_t framesReceived = 0;
  uint64_t repetitions = 0;  // data frames sent again after a timeout or a T_NAK
  uint64_t bitTimes = 0;     // by the TP1 model above
  void Count(size_t tpduOctets, bool sent) {
    (sent ? framesSent : framesReceived) += 1;
    bitTimes += FrameBits(tpduOctets);
  }
  double Seconds() const { return double(bitTimes) / double(kTp1BitRate); }
};

}  // namespace bus
