#include "bus/knxip.h"

#include <cstring>

namespace bus::knxip {

Bytes Packet(uint16_t service, const Bytes& body) {
  const size_t total = 6 + body.size();
  Bytes p = {0x06, 0x10, uint8_t(service >> 8), uint8_t(service), uint8_t(total >> 8), uint8_t(total)};
  p.insert(p.end(), body.begin(), body.end());
  return p;
}

bool ParsePacket(const uint8_t* data, size_t n, uint16_t& service, Bytes& body) {
  if (n < 6 || data[0] != 0x06 || data[1] != 0x10) return false;
  const size_t total = size_t(data[4] << 8 | data[5]);
  if (total != n) return false;
  service = uint16_t(data[2] << 8 | data[3]);
  body.assign(data + 6, data + n);
  return true;
}

Bytes Hpai(const sockaddr_in& endpoint) {
  Bytes h = {0x08, 0x01};
  const uint8_t* ip = reinterpret_cast<const uint8_t*>(&endpoint.sin_addr.s_addr);
  const uint8_t* port = reinterpret_cast<const uint8_t*>(&endpoint.sin_port);
  h.insert(h.end(), ip, ip + 4);  // both already in network order
  h.insert(h.end(), port, port + 2);
  return h;
}

bool ParseHpai(const uint8_t* data, size_t n, sockaddr_in& endpoint) {
  if (n < 8 || data[0] != 0x08 || data[1] != 0x01) return false;
  endpoint = {};
  endpoint.sin_family = AF_INET;
  std::memcpy(&endpoint.sin_addr.s_addr, data + 2, 4);
  std::memcpy(&endpoint.sin_port, data + 6, 2);
  return true;
}

std::string StatusText(uint8_t status) {
  switch (status) {
    case kOk: return "no error";
    case kNoConnection: return "no such connection";
    case kConnectionType: return "the connection type is not supported";
    case kConnectionOption: return "the connection option is not supported";
    case kNoMoreConnections: return "no more connections are free";
    case kSequenceNumber: return "wrong sequence number";
    default: return "status " + Hex(status, 2);
  }
}

Bytes EncodeCemi(uint8_t code, uint16_t source, uint16_t destination, const Bytes& tpdu, bool failed) {
  // Control field 1: standard frame (or extended for a long TPDU), not
  // repeated, normal broadcast, low priority; control field 2: an
  // individual destination, hop count 6.
  const bool standard = tpdu.size() <= kMaxStandardTpdu;
  Bytes m = {code,
             0x00,
             uint8_t((standard ? 0xBC : 0x3C) | (failed ? 0x01 : 0x00)),
             0x60,
             uint8_t(source >> 8),
             uint8_t(source),
             uint8_t(destination >> 8),
             uint8_t(destination),
             uint8_t(tpdu.empty() ? 0 : tpdu.size() - 1)};
  m.insert(m.end(), tpdu.begin(), tpdu.end());
  return m;
}

bool DecodeCemi(const uint8_t* data, size_t n, Cemi& out) {
  if (n < 2) return false;
  const size_t info = data[1];
  if (n < 2 + info + 7) return false;
  const uint8_t* f = data + 2 + info;
  const size_t rest = n - 2 - info;
  out.code = data[0];
  out.control1 = f[0];
  out.control2 = f[1];
  out.source = uint16_t(f[2] << 8 | f[3]);
  out.destination = uint16_t(f[4] << 8 | f[5]);
  const size_t length = f[6];
  if (rest != 7 + length + 1) return false;
  out.tpdu.assign(f + 7, f + rest);
  return true;
}

}  // namespace bus::knxip
