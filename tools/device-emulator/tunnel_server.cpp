#include "tunnel_server.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "bus/knxip.h"

namespace emulator {

using bus::Bytes;
using namespace bus::knxip;

namespace {
constexpr auto kAckTimeout = std::chrono::milliseconds(1000);

bool SameEndpoint(const sockaddr_in& a, const sockaddr_in& b) {
  return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}
}  // namespace

bool TunnelServer::Open(const std::string& hostPort, std::string& error) {
  std::string host;
  uint16_t port = 0;
  const size_t colon = hostPort.rfind(':');
  if (colon == std::string::npos) {
    error = "give the tunnelling server's address as HOST:PORT (port 0 for a free one)";
    return false;
  }
  host = hostPort.substr(0, colon);
  const std::string digits = hostPort.substr(colon + 1);
  if (digits == "0") {
    port = 0;
  } else if (!bus::SplitHostPort(hostPort, 0, host, port)) {
    error = "bad address \"" + hostPort + "\" (HOST:PORT)";
    return false;
  }
  sockaddr_in address{};
  if (!bus::ResolveIpv4(host, port, address, error)) return false;
  fd_.Reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  socklen_t len = sizeof local_;
  if (!fd_.Valid() || ::bind(fd_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd_.Get(), reinterpret_cast<sockaddr*>(&local_), &len) != 0) {
    error = "cannot listen on " + hostPort + ": " + std::strerror(errno);
    return false;
  }
  tunnelAddress_ = uint16_t((device_ & 0xFF00) | ((device_ & 0xFF) == 0xFF ? 0xFE : 0xFF));
  return true;
}

bool TunnelServer::ReadDatagram(Datagram& d) {
  uint8_t buffer[600];
  socklen_t len = sizeof d.from;
  ssize_t n =
      ::recvfrom(fd_.Get(), buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&d.from), &len);
  if (n <= 0) return false;
  d.bytes.assign(buffer, buffer + n);
  return true;
}

void TunnelServer::Poll() {
  for (;;) {
    Datagram d;
    if (!held_.empty()) {
      d = std::move(held_.front());
      held_.pop_front();
    } else if (!ReadDatagram(d)) {
      return;
    }
    Handle(d);
  }
}

void TunnelServer::SendTo(const sockaddr_in& to, uint16_t service, const Bytes& body) {
  const Bytes p = Packet(service, body);
  ::sendto(fd_.Get(), p.data(), p.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

bool TunnelServer::Request(const Bytes& cemi) {
  if (!connected_) return false;
  Bytes body = {0x04, channel_, sendSeq_, 0x00};
  body.insert(body.end(), cemi.begin(), cemi.end());
  inRequest_ = true;
  for (int attempt = 0; attempt < 2; ++attempt) {
    SendTo(data_, kTunnelRequest, body);
    const auto deadline = bus::Clock::now() + kAckTimeout;
    while (bus::WaitReadable(fd_.Get(), deadline, nullptr) == bus::Readable::kYes) {
      Datagram d;
      if (!ReadDatagram(d)) continue;
      uint16_t service = 0;
      Bytes b;
      if (ParsePacket(d.bytes.data(), d.bytes.size(), service, b) && service == kTunnelAck && b.size() >= 4 &&
          b[1] == channel_ && b[2] == sendSeq_) {
        sendSeq_ = uint8_t(sendSeq_ + 1);
        inRequest_ = false;
        return true;
      }
      held_.push_back(std::move(d));  // handled once this request is through
    }
  }
  inRequest_ = false;
  connected_ = false;  // the host is gone
  return false;
}

void TunnelServer::Indicate(uint16_t destination, const Bytes& tpdu) {
  line_.Carry(tpdu.size());
  Request(EncodeCemi(kLDataIndication, device_, destination, tpdu));
}

void TunnelServer::Handle(const Datagram& d) {
  uint16_t service = 0;
  Bytes b;
  if (!ParsePacket(d.bytes.data(), d.bytes.size(), service, b)) return;
  switch (service) {
    case kConnectRequest: {
      sockaddr_in control{}, data{};
      if (b.size() < 20 || !ParseHpai(b.data(), 8, control) || !ParseHpai(b.data() + 8, 8, data)) return;
      // 0.0.0.0:0 asks for answers to where the request came from.
      if (control.sin_addr.s_addr == 0 || control.sin_port == 0) control = d.from;
      if (data.sin_addr.s_addr == 0 || data.sin_port == 0) data = d.from;
      const uint8_t type = b[17], layer = b[18];
      if (b[16] < 4 || type != kTunnelConnection || layer != kTunnelLinkLayer) {
        SendTo(control, kConnectResponse,
               {0x00, type != kTunnelConnection ? kConnectionType : kConnectionOption});
        return;
      }
      connected_ = true;
      channel_ = uint8_t(channel_ % 255 + 1);
      control_ = control;
      data_ = data;
      sendSeq_ = receiveSeq_ = 0;
      held_.clear();
      ++tunnels_;
      Bytes body = {channel_, kOk};
      const Bytes h = Hpai(local_);
      body.insert(body.end(), h.begin(), h.end());
      body.insert(body.end(),
                  {0x04, kTunnelConnection, uint8_t(tunnelAddress_ >> 8), uint8_t(tunnelAddress_)});
      SendTo(control_, kConnectResponse, body);
      return;
    }
    case kStateRequest:
      if (b.empty()) return;
      ++stateRequests_;
      SendTo(connected_ && SameEndpoint(d.from, control_) ? control_ : d.from, kStateResponse,
             {b[0], uint8_t(connected_ && b[0] == channel_ ? kOk : kNoConnection)});
      return;
    case kDisconnectRequest:
      if (b.empty()) return;
      SendTo(d.from, kDisconnectResponse,
             {b[0], uint8_t(connected_ && b[0] == channel_ ? kOk : kNoConnection)});
      if (connected_ && b[0] == channel_) connected_ = false;
      return;
    case kTunnelRequest: {
      if (b.size() < 4 || b[0] != 0x04 || !connected_ || b[1] != channel_) return;
      const uint8_t seq = b[2];
      if (seq == uint8_t(receiveSeq_ - 1)) {
        SendTo(data_, kTunnelAck, {0x04, channel_, seq, kOk});  // a repetition
        return;
      }
      if (seq != receiveSeq_) return;
      SendTo(data_, kTunnelAck, {0x04, channel_, seq, kOk});
      receiveSeq_ = uint8_t(receiveSeq_ + 1);
      Cemi cemi;
      if (!DecodeCemi(b.data() + 4, b.size() - 4, cemi) || cemi.code != kLDataRequest) return;
      const uint16_t source = cemi.source ? cemi.source : tunnelAddress_;
      const bool forDevice = !cemi.GroupAddressed() && cemi.destination == device_;
      line_.Carry(cemi.tpdu.size());
      Request(EncodeCemi(kLDataConfirm, source, cemi.destination, cemi.tpdu, !forDevice));
      if (forDevice) deliver_(source, cemi.tpdu);
      return;
    }
    case kTunnelAck:
    default: return;
  }
}

}  // namespace emulator
