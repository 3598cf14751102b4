// The link through a knxd daemon: its client protocol over a unix or TCP
// socket, in raw transport mode. Every message is a 2-octet length of what
// follows, a 2-octet type and a payload (all big-endian). The socket is
// opened for raw TPDUs to and from any individual address; knxd puts its
// own address for this client in as source.
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "bus/knxd_link.h"

namespace bus {
namespace {

constexpr uint16_t kOpenRawTransport = 0x0024;  // payload: own address (0: assigned), 00
constexpr uint16_t kTpduPacket = 0x0025;        // payload: peer address, TPDU
constexpr uint16_t kDefaultKnxdPort = 6720;
constexpr auto kOpenTimeout = std::chrono::seconds(5);

class KnxdLink : public Link {
 public:
  KnxdLink(Fd fd, std::string name) : fd_(std::move(fd)), name_(std::move(name)) {}

  bool Open(std::string& error) {
    const uint8_t open[] = {0x00, 0x05, 0x00, 0x24, 0x00, 0x00, 0x00};
    if (!WriteAll(fd_.Get(), open, sizeof open, error)) return false;
    const auto deadline = Clock::now() + kOpenTimeout;
    uint16_t type = 0;
    Bytes payload;
    switch (ReadMessage(type, payload, deadline, error)) {
      case Wait::kFrame: break;
      case Wait::kTimeout:
        error = name_ + " did not answer the request for a raw transport socket";
        return false;
      case Wait::kFailed: return false;
    }
    if (type != kOpenRawTransport) {
      error = name_ + " refused a raw transport socket (answer of type " + Hex(type, 4) + ")";
      return false;
    }
    return true;
  }

  bool Send(uint16_t destination, const Bytes& tpdu, std::string& error) override {
    if (tpdu.empty() || tpdu.size() > 254) {
      error = "a TPDU of " + std::to_string(tpdu.size()) + " octets cannot be sent";
      return false;
    }
    Bytes m;
    const size_t length = 4 + tpdu.size();
    m.reserve(2 + length);
    m.push_back(uint8_t(length >> 8));
    m.push_back(uint8_t(length));
    m.push_back(uint8_t(kTpduPacket >> 8));
    m.push_back(uint8_t(kTpduPacket));
    m.push_back(uint8_t(destination >> 8));
    m.push_back(uint8_t(destination));
    m.insert(m.end(), tpdu.begin(), tpdu.end());
    if (!WriteAll(fd_.Get(), m.data(), m.size(), error)) {
      error = name_ + ": " + error;
      return false;
    }
    return true;
  }

  Wait Receive(Frame& frame, Clock::time_point deadline, std::string& error) override {
    for (;;) {
      uint16_t type = 0;
      Bytes payload;
      Wait w = ReadMessage(type, payload, deadline, error);
      if (w != Wait::kFrame) return w;
      // Anything else knxd might send on this socket is not for us.
      if (type != kTpduPacket || payload.size() < 3) continue;
      frame.source = uint16_t(payload[0] << 8 | payload[1]);
      frame.destination = 0;
      frame.tpdu.assign(payload.begin() + 2, payload.end());
      return Wait::kFrame;
    }
  }

  std::string Name() const override { return name_; }

 private:
  // The next whole message, reading more from the socket as needed.
  Wait ReadMessage(uint16_t& type, Bytes& payload, Clock::time_point deadline, std::string& error) {
    for (;;) {
      if (buffer_.size() >= 2) {
        const size_t length = size_t(buffer_[0] << 8 | buffer_[1]);
        if (length < 2) {
          error = name_ + " sent a message of length " + std::to_string(length);
          return Wait::kFailed;
        }
        if (buffer_.size() >= 2 + length) {
          type = uint16_t(buffer_[2] << 8 | buffer_[3]);
          payload.assign(buffer_.begin() + 4, buffer_.begin() + 2 + long(length));
          buffer_.erase(buffer_.begin(), buffer_.begin() + 2 + long(length));
          return Wait::kFrame;
        }
      }
      switch (WaitReadable(fd_.Get(), deadline, interrupt_)) {
        case Readable::kYes: break;
        case Readable::kTimeout: return Wait::kTimeout;
        case Readable::kInterrupted: error = "interrupted"; return Wait::kFailed;
        case Readable::kError: error = name_ + ": the socket failed"; return Wait::kFailed;
      }
      uint8_t chunk[1024];
      ssize_t n = ::recv(fd_.Get(), chunk, sizeof chunk, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error = name_ + " closed the connection" + (n < 0 ? std::string(": ") + std::strerror(errno) : "");
        return Wait::kFailed;
      }
      buffer_.insert(buffer_.end(), chunk, chunk + n);
    }
  }

  Fd fd_;
  std::string name_;
  Bytes buffer_;
};

std::unique_ptr<Link> OpenKnxd(const std::string& rest, std::string& error) {
  const std::string name = "knxd:" + rest;
  Fd fd;
  if (rest.rfind("tcp:", 0) == 0) {
    std::string host;
    uint16_t port = 0;
    if (!SplitHostPort(rest.substr(4), kDefaultKnxdPort, host, port)) {
      error = "bad knxd address \"" + rest.substr(4) + "\" (give knxd:tcp:HOST:PORT)";
      return nullptr;
    }
    fd = ConnectTcp(host, port, error);
  } else {
    fd = ConnectUnix(rest, error);
  }
  if (!fd.Valid()) {
    error = "knxd: " + error;
    return nullptr;
  }
  return OpenKnxdOver(std::move(fd), name, error);
}

}  // namespace

std::unique_ptr<Link> OpenKnxdOver(Fd fd, const std::string& name, std::string& error) {
  auto link = std::make_unique<KnxdLink>(std::move(fd), name);
  if (!link->Open(error)) return nullptr;
  return link;
}

BUS_REGISTER_LINK("knxd", "knxd:PATH|knxd:tcp:HOST:PORT", OpenKnxd);

}  // namespace bus
