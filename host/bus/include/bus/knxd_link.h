#pragma once
// The link through a knxd daemon's client socket in raw transport mode
// ("knxd:PATH", "knxd:tcp:HOST:PORT" through OpenLink).
#include <memory>
#include <string>

#include "bus/link.h"
#include "bus/socket.h"

namespace bus {

// A link over an already connected stream socket `fd` to knxd: asks for the
// raw transport socket and returns the link, or null with `error`. `name` is
// what error texts call it.
std::unique_ptr<Link> OpenKnxdOver(Fd fd, const std::string& name, std::string& error);

}  // namespace bus
