// Fuzz target of the KNXnet/IP tunnelling link: the input (after the
// session plan, see bus_session.h) is the datagrams the server sends, each
// a 2-octet big-endian length and its octets; a length with the high bit set
// marks a datagram from another sender. The link runs over a datagram socket
// that hands these out one by one and fails once they are used up, so
// nothing is ever waited for; what the link sends is dropped.
#include <arpa/inet.h>

#include <cerrno>
#include <cstring>
#include <deque>

#include "bus/knxip.h"
#include "bus/tunnel_link.h"
#include "bus_session.h"

namespace {

struct Datagram {
  bus::Bytes bytes;
  bool foreign = false;
};

sockaddr_in Endpoint(const char* ip, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  ::inet_pton(AF_INET, ip, &a.sin_addr);
  return a;
}

class FuzzedSocket : public bus::DatagramSocket {
 public:
  FuzzedSocket(std::deque<Datagram> datagrams, const sockaddr_in& server)
      : datagrams_(std::move(datagrams)), server_(server) {}
  sockaddr_in Local() const override { return Endpoint("127.0.0.1", 50000); }
  bool SendTo(const sockaddr_in& to, const bus::Bytes& packet) override {
    uint16_t service = 0;
    bus::Bytes body;
    // The link only ever sends well-formed packets to an IPv4 endpoint.
    if (to.sin_family != AF_INET || !bus::knxip::ParsePacket(packet.data(), packet.size(), service, body))
      fuzzbus::Fail("the link sent a malformed packet");
    return true;
  }
  bus::Readable Wait(bus::Clock::time_point, const std::atomic<bool>*) override {
    return datagrams_.empty() ? bus::Readable::kError : bus::Readable::kYes;
  }
  ssize_t ReceiveFrom(uint8_t* data, size_t n, sockaddr_in& from) override {
    if (datagrams_.empty()) {
      errno = EAGAIN;
      return -1;
    }
    Datagram d = std::move(datagrams_.front());
    datagrams_.pop_front();
    from = d.foreign ? Endpoint("127.0.0.2", 3671) : server_;
    const size_t taken = std::min(n, d.bytes.size());  // a datagram longer than the buffer is cut
    if (taken) std::memcpy(data, d.bytes.data(), taken);
    return ssize_t(taken);
  }
  void AcceptAnySender() override {}

 private:
  std::deque<Datagram> datagrams_;
  sockaddr_in server_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<fuzzbus::Operation> plan = fuzzbus::TakePlan(data, size);
  std::deque<Datagram> datagrams;
  while (size >= 2) {
    const size_t header = size_t(data[0] << 8 | data[1]);
    const size_t n = std::min(header & 0x7FFF, size - 2);
    datagrams.push_back(Datagram{bus::Bytes(data + 2, data + 2 + n), (header & 0x8000) != 0});
    data += 2 + n, size -= 2 + n;
  }
  const sockaddr_in server = Endpoint("127.0.0.1", bus::knxip::kDefaultPort);
  bus::TunnelOptions options;
  options.requestTimeout = options.confirmTimeout = options.controlTimeout = std::chrono::milliseconds(5);
  std::string error;
  std::unique_ptr<bus::Link> link = bus::OpenTunnelOver(
      std::make_unique<FuzzedSocket>(std::move(datagrams), server), server, "ip:fuzz", error, options);
  if (!link && error.empty()) fuzzbus::Fail("the tunnel did not open and gave no reason");
  fuzzbus::RunSession(std::move(link), plan);
  return 0;
}
