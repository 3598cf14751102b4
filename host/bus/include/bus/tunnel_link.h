#pragma once
// The link through a KNXnet/IP tunnelling server (an IP interface, or the
// device emulator's server) over UDP: a link-layer tunnel with its own
// sequence counter per direction, acknowledged requests, the server's
// confirmation of each frame sent, and a connection-state heartbeat.
#include <memory>
#include <string>

#include "bus/link.h"

namespace bus {

struct TunnelOptions {
  std::chrono::milliseconds heartbeat{60000};       // connection-state request interval
  std::chrono::milliseconds requestTimeout{1000};   // for a tunnelling acknowledgement (one repetition)
  std::chrono::milliseconds confirmTimeout{3000};   // for the confirmation of a sent frame
  std::chrono::milliseconds controlTimeout{10000};  // for connect and connection-state responses
};

// "HOST[:PORT]"; null with `error` when the server cannot be reached or
// refuses the tunnel.
std::unique_ptr<Link> OpenTunnel(const std::string& hostPort, std::string& error,
                                 const TunnelOptions& options = {});

}  // namespace bus
