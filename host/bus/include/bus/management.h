#pragma once
// The application services of a download, over one transport connection:
// the mask version (A_DeviceDescriptor_Read), authorisation
// (A_Authorize_Request), memory reads and writes, and the restart. Each
// answer is checked against the request: its service, address, length, a
// refused read.
#include <cstdint>
#include <string>

#include "bus/transport.h"

namespace bus {

// Application codes (10 bits; the two high bits travel in the TPCI octet).
namespace apci {
constexpr uint16_t kMemoryRead = 0x200;      // | n (6 bits)
constexpr uint16_t kMemoryResponse = 0x240;  // | n
constexpr uint16_t kMemoryWrite = 0x280;     // | n
constexpr uint16_t kRestart = 0x380;
constexpr uint16_t kDescriptorRead = 0x300;      // | descriptor type
constexpr uint16_t kDescriptorResponse = 0x340;  // | descriptor type
constexpr uint16_t kAuthorizeRequest = 0x3D1;
constexpr uint16_t kAuthorizeResponse = 0x3D2;
// The code of an APDU as Connection passes it (first two octets).
inline uint16_t Of(const Bytes& apdu) {
  return apdu.size() < 2 ? 0xFFFF : uint16_t((apdu[0] & 0x03) << 8 | apdu[1]);
}
std::string Name(uint16_t code);
}  // namespace apci

// At most this many data bytes go in one memory telegram of a standard frame.
constexpr uint32_t kMaxMemoryData = 12;
// The deepest access level (0 is the highest) that may still write memory.
constexpr uint8_t kLowestWriteLevel = 3;

class Management {
 public:
  explicit Management(Connection& connection) : c_(connection) {}

  bool ReadMaskVersion(uint16_t& mask, std::string& error);
  // The level the key gives; a failure only when the device does not answer.
  bool Authorize(uint32_t key, uint8_t& level, std::string& error);
  bool WriteMemory(uint16_t address, const uint8_t* data, uint32_t n, std::string& error);
  bool ReadMemory(uint16_t address, uint8_t* data, uint32_t n, std::string& error);
  // A_Restart; the device ends the connection.
  bool Restart(std::string& error);

 private:
  bool Request(const Bytes& apdu, Bytes& answer, uint16_t expected, uint16_t mask, std::string& error);
  Connection& c_;
};

}  // namespace bus
