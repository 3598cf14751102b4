#include "bus/tunnel_link.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <deque>

#include "bus/knxip.h"
#include "bus/socket.h"

namespace bus {
namespace {

using namespace knxip;

class TunnelLink : public Link {
 public:
  TunnelLink(std::unique_ptr<DatagramSocket> socket, std::string name, const sockaddr_in& control,
             const TunnelOptions& options)
      : socket_(std::move(socket)),
        name_(std::move(name)),
        control_(control),
        data_(control),
        options_(options) {}

  ~TunnelLink() override {
    if (!open_) return;
    // Tell the server the tunnel is no longer used; wait briefly for its answer.
    SendControl(kDisconnectRequest, ChannelAndHpai());
    const auto deadline = Clock::now() + std::chrono::milliseconds(500);
    std::string ignored;
    while (open_ && Pump(deadline, ignored) == Wait::kFrame) {
    }
  }

  bool Open(std::string& error) {
    local_ = socket_->Local();
    Bytes body = Hpai(local_);
    const Bytes data = Hpai(local_);
    body.insert(body.end(), data.begin(), data.end());
    body.insert(body.end(), {0x04, kTunnelConnection, kTunnelLinkLayer, 0x00});
    if (!SendControl(kConnectRequest, body)) {
      error = name_ + ": cannot send: " + std::strerror(errno);
      return false;
    }
    const auto deadline = Clock::now() + options_.controlTimeout;
    while (!open_) {
      if (connectStatus_ >= 0) {
        error = name_ + " refused the tunnel: " + StatusText(uint8_t(connectStatus_));
        return false;
      }
      switch (Pump(deadline, error)) {
        case Wait::kFrame: break;
        case Wait::kTimeout: error = name_ + " did not answer the tunnel connect request"; return false;
        case Wait::kFailed: return false;
      }
    }
    // A data endpoint apart from the control endpoint: the socket must
    // take datagrams from both.
    if (data_.sin_addr.s_addr != control_.sin_addr.s_addr || data_.sin_port != control_.sin_port)
      socket_->AcceptAnySender();
    nextHeartbeat_ = Clock::now() + options_.heartbeat;
    return true;
  }

  bool Send(uint16_t destination, const Bytes& tpdu, std::string& error) override {
    if (!open_) {
      error = failure_.empty() ? name_ + ": the tunnel is closed" : failure_;
      return false;
    }
    Bytes body = {0x04, channel_, sendSeq_, 0x00};
    const Bytes cemi = EncodeCemi(kLDataRequest, 0, destination, tpdu);
    body.insert(body.end(), cemi.begin(), cemi.end());
    const Bytes packet = knxip::Packet(kTunnelRequest, body);
    acked_ = false;
    confirmed_ = confirmFailed_ = false;
    awaitingConfirm_ = true;
    // One repetition of an unacknowledged request, then the tunnel is
    // given up: the server no longer hears us.
    for (int attempt = 0; attempt < 2 && !acked_; ++attempt) {
      if (!SendTo(data_, packet)) {
        error = name_ + ": cannot send: " + std::strerror(errno);
        return false;
      }
      const auto deadline = Clock::now() + options_.requestTimeout;
      while (!acked_) {
        Wait w = Pump(deadline, error);
        if (w == Wait::kFailed) return false;
        if (w == Wait::kTimeout) break;
      }
    }
    if (!acked_) {
      Fail(name_ + " did not acknowledge a tunnelling request");
      error = failure_;
      return false;
    }
    sendSeq_ = uint8_t(sendSeq_ + 1);
    const auto deadline = Clock::now() + options_.confirmTimeout;
    while (!confirmed_) {
      Wait w = Pump(deadline, error);
      if (w == Wait::kFailed) return false;
      if (w == Wait::kTimeout) {
        error = name_ + " did not confirm the frame to " + AddressText(destination);
        awaitingConfirm_ = false;
        return false;
      }
    }
    awaitingConfirm_ = false;
    if (confirmFailed_) {
      error = name_ + " could not deliver the frame to " + AddressText(destination) +
              " (no acknowledgement on the line)";
      return false;
    }
    return true;
  }

  Wait Receive(Frame& frame, Clock::time_point deadline, std::string& error) override {
    while (frames_.empty()) {
      Wait w = Pump(deadline, error);
      if (w != Wait::kFrame) return w;
    }
    frame = std::move(frames_.front());
    frames_.pop_front();
    return Wait::kFrame;
  }

  std::string Name() const override { return name_; }

 private:
  Bytes ChannelAndHpai() const {
    Bytes body = {channel_, 0x00};
    const Bytes h = Hpai(local_);
    body.insert(body.end(), h.begin(), h.end());
    return body;
  }
  bool SendTo(const sockaddr_in& to, const Bytes& packet) { return socket_->SendTo(to, packet); }
  bool SendControl(uint16_t service, const Bytes& body) {
    return SendTo(control_, knxip::Packet(service, body));
  }
  void Fail(const std::string& why) {
    open_ = false;
    if (failure_.empty()) failure_ = why;
  }

  // Waits for one datagram (or the deadline) and handles it; also sends the
  // heartbeat when it is due. kFrame: a datagram was handled.
  Wait Pump(Clock::time_point deadline, std::string& error) {
    if (!failure_.empty() && !open_ && channelKnown_) {
      error = failure_;
      return Wait::kFailed;
    }
    const auto now = Clock::now();
    if (open_ && now >= nextHeartbeat_) {
      if (stateTries_ >= 3) {
        Fail(name_ + " did not answer the connection-state requests");
        error = failure_;
        return Wait::kFailed;
      }
      SendControl(kStateRequest, ChannelAndHpai());
      ++stateTries_;
      nextHeartbeat_ = now + options_.controlTimeout;
    }
    const auto until = open_ ? std::min(deadline, nextHeartbeat_) : deadline;
    switch (socket_->Wait(until, interrupt_)) {
      case Readable::kYes: break;
      case Readable::kTimeout: return Clock::now() >= deadline ? Wait::kTimeout : Wait::kFrame;
      case Readable::kInterrupted: error = "interrupted"; return Wait::kFailed;
      case Readable::kError: error = name_ + ": the socket failed"; return Wait::kFailed;
    }
    uint8_t datagram[600];
    sockaddr_in from{};
    const ssize_t n = socket_->ReceiveFrom(datagram, sizeof datagram, from);
    if (n < 0) {
      if (errno == ECONNREFUSED) {
        error = name_ + ": nothing listens there (port unreachable)";
        Fail(error);
        return Wait::kFailed;
      }
      if (errno == EINTR || errno == EAGAIN) return Wait::kFrame;
      error = name_ + ": " + std::strerror(errno);
      return Wait::kFailed;
    }
    if (from.sin_addr.s_addr != control_.sin_addr.s_addr) return Wait::kFrame;  // not our server
    uint16_t service = 0;
    Bytes body;
    if (!ParsePacket(datagram, size_t(n), service, body)) return Wait::kFrame;
    Handle(service, body, from);
    if (!open_ && channelKnown_) {
      error = failure_;
      return Wait::kFailed;
    }
    return Wait::kFrame;
  }

  void Handle(uint16_t service, const Bytes& b, const sockaddr_in& from) {
    switch (service) {
      case kConnectResponse: {
        if (open_ || channelKnown_ || b.size() < 2) return;
        if (b[1] != kOk) {
          connectStatus_ = b[1];
          return;
        }
        sockaddr_in data{};
        if (b.size() < 2 + 8 + 4 || !ParseHpai(b.data() + 2, 8, data)) {
          connectStatus_ = kConnectionType;
          return;
        }
        // A data endpoint of 0.0.0.0:0 means: the one the response came from.
        data_ = (data.sin_addr.s_addr == 0 || data.sin_port == 0) ? from : data;
        channel_ = b[0];
        tunnelAddress_ = uint16_t(b[12] << 8 | b[13]);
        channelKnown_ = open_ = true;
        return;
      }
      case kStateResponse:
        if (b.size() >= 2 && b[0] == channel_) {
          if (b[1] != kOk) {
            Fail(name_ + " lost the tunnel: " + StatusText(b[1]));
            return;
          }
          stateTries_ = 0;
          nextHeartbeat_ = Clock::now() + options_.heartbeat;
        }
        return;
      case kDisconnectRequest:
        if (b.size() >= 1 && b[0] == channel_ && channelKnown_) {
          SendControl(kDisconnectResponse, {channel_, kOk});
          Fail(name_ + " closed the tunnel");
        }
        return;
      case kDisconnectResponse:
        if (b.size() >= 1 && b[0] == channel_) open_ = false;
        return;
      case kTunnelAck:
        if (b.size() >= 4 && b[0] == 0x04 && b[1] == channel_ && b[2] == sendSeq_ && b[3] == kOk)
          acked_ = true;
        return;
      case kTunnelRequest: {
        if (b.size() < 4 || b[0] != 0x04 || b[1] != channel_ || !open_) return;
        const uint8_t seq = b[2];
        if (seq == uint8_t(receiveSeq_ - 1)) {  // a repetition: acknowledge again, drop
          SendTo(data_, knxip::Packet(kTunnelAck, {0x04, channel_, seq, kOk}));
          return;
        }
        if (seq != receiveSeq_) return;  // out of order: not acknowledged
        SendTo(data_, knxip::Packet(kTunnelAck, {0x04, channel_, seq, kOk}));
        receiveSeq_ = uint8_t(receiveSeq_ + 1);
        Cemi cemi;
        if (!DecodeCemi(b.data() + 4, b.size() - 4, cemi)) return;
        if (cemi.code == kLDataConfirm) {
          if (awaitingConfirm_) {
            confirmed_ = true;
            confirmFailed_ = cemi.Failed();
          }
        } else if (cemi.code == kLDataIndication && !cemi.GroupAddressed() &&
                   (tunnelAddress_ == 0 || cemi.destination == tunnelAddress_) && !cemi.tpdu.empty()) {
          frames_.push_back(Frame{cemi.source, cemi.destination, cemi.tpdu});
        }
        return;
      }
      default: return;
    }
  }

  std::unique_ptr<DatagramSocket> socket_;
  std::string name_;
  sockaddr_in control_;
  sockaddr_in data_;
  sockaddr_in local_{};
  TunnelOptions options_;
  bool open_ = false;
  bool channelKnown_ = false;
  int connectStatus_ = -1;
  std::string failure_;
  uint8_t channel_ = 0;
  uint16_t tunnelAddress_ = 0;
  uint8_t sendSeq_ = 0;
  uint8_t receiveSeq_ = 0;
  bool acked_ = false, confirmed_ = false, confirmFailed_ = false, awaitingConfirm_ = false;
  Clock::time_point nextHeartbeat_ = Clock::time_point::max();
  int stateTries_ = 0;
  std::deque<Frame> frames_;
};

// A UDP socket bound to the interface that routes towards the server and
// connected to the server's control endpoint, so that it hears at once of a
// port nobody listens on (and takes nothing from others).
class UdpSocket : public DatagramSocket {
 public:
  bool Open(const sockaddr_in& control, const std::string& name, std::string& error) {
    sockaddr_in local{};
    {
      Fd probe(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
      socklen_t len = sizeof local;
      if (!probe.Valid() ||
          ::connect(probe.Get(), reinterpret_cast<const sockaddr*>(&control), sizeof control) != 0 ||
          ::getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&local), &len) != 0) {
        error = name + ": no route to the server: " + std::strerror(errno);
        return false;
      }
    }
    local.sin_port = 0;
    fd_.Reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    socklen_t len = sizeof local;
    if (!fd_.Valid() || ::bind(fd_.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::getsockname(fd_.Get(), reinterpret_cast<sockaddr*>(&local), &len) != 0) {
      error = name + ": cannot open a UDP socket: " + std::strerror(errno);
      return false;
    }
    local_ = local;
    if (::connect(fd_.Get(), reinterpret_cast<const sockaddr*>(&control), sizeof control) != 0) {
      error = name + ": cannot reach the server: " + std::strerror(errno);
      return false;
    }
    return true;
  }

  sockaddr_in Local() const override { return local_; }
  bool SendTo(const sockaddr_in& to, const Bytes& packet) override {
    return ::sendto(fd_.Get(), packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                    sizeof to) == ssize_t(packet.size());
  }
  Readable Wait(Clock::time_point deadline, const std::atomic<bool>* interrupt) override {
    return WaitReadable(fd_.Get(), deadline, interrupt);
  }
  ssize_t ReceiveFrom(uint8_t* data, size_t n, sockaddr_in& from) override {
    socklen_t len = sizeof from;
    return ::recvfrom(fd_.Get(), data, n, 0, reinterpret_cast<sockaddr*>(&from), &len);
  }
  void AcceptAnySender() override {
    sockaddr none{};  // address family 0: the association is dissolved
    ::connect(fd_.Get(), &none, sizeof none);
  }

 private:
  Fd fd_;
  sockaddr_in local_{};
};

}  // namespace

std::unique_ptr<Link> OpenTunnelOver(std::unique_ptr<DatagramSocket> socket, const sockaddr_in& control,
                                     const std::string& name, std::string& error,
                                     const TunnelOptions& options) {
  auto link = std::make_unique<TunnelLink>(std::move(socket), name, control, options);
  if (!link->Open(error)) return nullptr;
  return link;
}

std::unique_ptr<Link> OpenTunnel(const std::string& hostPort, std::string& error,
                                 const TunnelOptions& options) {
  std::string host;
  uint16_t port = 0;
  if (!SplitHostPort(hostPort, kDefaultPort, host, port)) {
    error = "bad tunnelling server address \"" + hostPort + "\" (give ip:HOST[:PORT])";
    return nullptr;
  }
  sockaddr_in control{};
  if (!ResolveIpv4(host, port, control, error)) return nullptr;
  const std::string name = "ip:" + hostPort;
  auto socket = std::make_unique<UdpSocket>();
  if (!socket->Open(control, name, error)) return nullptr;
  return OpenTunnelOver(std::move(socket), control, name, error, options);
}

namespace {
std::unique_ptr<Link> OpenIp(const std::string& rest, std::string& error) { return OpenTunnel(rest, error); }
}  // namespace

BUS_REGISTER_LINK("ip", "ip:HOST[:PORT]", OpenIp);

}  // namespace bus
