#pragma once
// The emulator's KNXnet/IP tunnelling server: one link-layer tunnel at a
// time (a new connect request replaces an older tunnel, whose host is taken
// to be gone). Frames a host sends are acknowledged, carried over the
// emulated line, confirmed (positively when addressed to the device,
// negatively otherwise, as a frame that no device acknowledges) and handed
// to the device; the device's frames go to the host as indications.
#include <netinet/in.h>

#include <deque>
#include <functional>
#include <string>

#include "bus/socket.h"
#include "tp1_line.h"

namespace emulator {

class TunnelServer {
 public:
  using Deliver = std::function<void(uint16_t source, const bus::Bytes& tpdu)>;
  TunnelServer(uint16_t deviceAddress, Tp1Line& line, Deliver deliver)
      : device_(deviceAddress), line_(line), deliver_(std::move(deliver)) {}

  // Binds to "HOST:PORT" (port 0: a free one); Endpoint() tells which.
  bool Open(const std::string& hostPort, std::string& error);
  std::string Endpoint() const { return bus::EndpointText(local_); }
  int Fd() const { return fd_.Get(); }

  // Handles what has arrived on the socket (call when it is readable) and
  // what was held back while waiting for an acknowledgement.
  void Poll();
  // Sends a frame of the device to the host (waits for its acknowledgement).
  void Indicate(uint16_t destination, const bus::Bytes& tpdu);

  uint64_t StateRequests() const { return stateRequests_; }
  uint64_t Tunnels() const { return tunnels_; }

 private:
  struct Datagram {
    sockaddr_in from;
    bus::Bytes bytes;
  };
  bool ReadDatagram(Datagram& d);
  void Handle(const Datagram& d);
  void SendTo(const sockaddr_in& to, uint16_t service, const bus::Bytes& body);
  // A tunnelling request to the host, repeated once; false when unanswered.
  bool Request(const bus::Bytes& cemi);

  uint16_t device_;
  Tp1Line& line_;
  Deliver deliver_;
  bus::Fd fd_;
  sockaddr_in local_{};
  bool connected_ = false;
  uint8_t channel_ = 0;
  uint16_t tunnelAddress_ = 0;
  sockaddr_in control_{};
  sockaddr_in data_{};
  uint8_t sendSeq_ = 0;
  uint8_t receiveSeq_ = 0;
  std::deque<Datagram> held_;
  uint64_t stateRequests_ = 0;
  uint64_t tunnels_ = 0;
  bool inRequest_ = false;
};

}  // namespace emulator
