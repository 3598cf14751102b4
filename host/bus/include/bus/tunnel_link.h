#pragma once
// The link through a KNXnet/IP tunnelling server (an IP interface, or the
// device emulator's server) over UDP: a link-layer tunnel with its own
// sequence counter per direction, acknowledged requests, the server's
// confirmation of each frame sent, and a connection-state heartbeat.
#include <netinet/in.h>
#include <sys/types.h>

#include <memory>
#include <string>

#include "bus/link.h"
#include "bus/socket.h"

namespace bus {

struct TunnelOptions {
  std::chrono::milliseconds heartbeat{60000};       // connection-state request interval
  std::chrono::milliseconds requestTimeout{1000};   // for a tunnelling acknowledgement (one repetition)
  std::chrono::milliseconds confirmTimeout{3000};   // for the confirmation of a sent frame
  std::chrono::milliseconds controlTimeout{10000};  // for connect and connection-state responses
};

// The datagram socket under a tunnel, towards the server's control
// endpoint. OpenTunnel uses a UDP socket; the fuzz target gives datagrams of
// its own.
class DatagramSocket {
 public:
  virtual ~DatagramSocket() = default;
  // This end's endpoint as the server sees it (sent in every HPAI).
  virtual sockaddr_in Local() const = 0;
  virtual bool SendTo(const sockaddr_in& to, const Bytes& packet) = 0;
  virtual Readable Wait(Clock::time_point deadline, const std::atomic<bool>* interrupt) = 0;
  // One datagram into `data` (at most `n` octets): its length, or -1 with errno.
  virtual ssize_t ReceiveFrom(uint8_t* data, size_t n, sockaddr_in& from) = 0;
  // From now on datagrams of any sender arrive, not only the control endpoint's.
  virtual void AcceptAnySender() = 0;
};

// "HOST[:PORT]"; null with `error` when the server cannot be reached or
// refuses the tunnel.
std::unique_ptr<Link> OpenTunnel(const std::string& hostPort, std::string& error,
                                 const TunnelOptions& options = {});
// A tunnel over `socket` to the server whose control endpoint is `control`;
// `name` is what error texts call it.
std::unique_ptr<Link> OpenTunnelOver(std::unique_ptr<DatagramSocket> socket, const sockaddr_in& control,
                                     const std::string& name, std::string& error,
                                     const TunnelOptions& options = {});

}  // namespace bus
