#pragma once
// KNXnet/IP tunnelling packets and the cEMI frames they carry; used by the
// tunnelling link and by the device emulator's tunnelling server.
#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "bus/frame.h"

namespace bus::knxip {

constexpr uint16_t kDefaultPort = 3671;

constexpr uint16_t kConnectRequest = 0x0205;
constexpr uint16_t kConnectResponse = 0x0206;
constexpr uint16_t kStateRequest = 0x0207;
constexpr uint16_t kStateResponse = 0x0208;
constexpr uint16_t kDisconnectRequest = 0x0209;
constexpr uint16_t kDisconnectResponse = 0x020A;
constexpr uint16_t kTunnelRequest = 0x0420;
constexpr uint16_t kTunnelAck = 0x0421;

// Status codes of responses and acknowledgements.
constexpr uint8_t kOk = 0x00;
constexpr uint8_t kNoConnection = 0x21;      // unknown channel
constexpr uint8_t kConnectionType = 0x22;    // connection type not supported
constexpr uint8_t kConnectionOption = 0x23;  // e.g. a layer other than the link layer
constexpr uint8_t kNoMoreConnections = 0x24;
constexpr uint8_t kSequenceNumber = 0x04;

// Connection request information of a link-layer tunnel.
constexpr uint8_t kTunnelConnection = 0x04;
constexpr uint8_t kTunnelLinkLayer = 0x02;

// A packet: header 06 10, service type, total length; then the body.
Bytes Packet(uint16_t service, const Bytes& body);
// The service and body of a datagram; false if the header or length is wrong.
bool ParsePacket(const uint8_t* data, size_t n, uint16_t& service, Bytes& body);

// Host protocol address information: 08 01 (UDP over IPv4), address, port.
Bytes Hpai(const sockaddr_in& endpoint);
bool ParseHpai(const uint8_t* data, size_t n, sockaddr_in& endpoint);

std::string StatusText(uint8_t status);

// cEMI link-layer messages.
constexpr uint8_t kLDataRequest = 0x11;
constexpr uint8_t kLDataConfirm = 0x2E;
constexpr uint8_t kLDataIndication = 0x29;

struct Cemi {
  uint8_t code = 0;
  uint8_t control1 = 0;
  uint8_t control2 = 0;
  uint16_t source = 0;
  uint16_t destination = 0;
  Bytes tpdu;
  bool GroupAddressed() const { return (control2 & 0x80) != 0; }
  // A confirmation with the error bit: the frame did not reach the line.
  bool Failed() const { return (control1 & 0x01) != 0; }
};

// An individually addressed frame; `failed` sets the confirmation error bit.
Bytes EncodeCemi(uint8_t code, uint16_t source, uint16_t destination, const Bytes& tpdu, bool failed = false);
// false for a message that is not a well-formed L_Data frame.
bool DecodeCemi(const uint8_t* data, size_t n, Cemi& out);

}  // namespace bus::knxip
