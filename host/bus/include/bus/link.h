#pragma once
// A link carries whole TPDUs between this program and individual addresses
// on a KNX line: through a knxd daemon, a KNXnet/IP tunnelling server, or
// whatever else registers a scheme here. The transport layer (connections,
// sequence numbers, acknowledgements) runs above it, in this program.
//
// A link is opened from a text "SCHEME:REST". Each kind of link lives in
// one source file and registers its scheme with BUS_REGISTER_LINK, so a new
// kind of interface (USB, serial) is one new file.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "bus/frame.h"

namespace bus {

class Link {
 public:
  enum class Wait { kFrame, kTimeout, kFailed };

  virtual ~Link() = default;
  // Sends one TPDU (1..254 octets) to an individual address; false with
  // `error` when the link is broken.
  virtual bool Send(uint16_t destination, const Bytes& tpdu, std::string& error) = 0;
  // Waits until `deadline` for the next frame addressed to this program.
  // kFailed (with `error`) when the link is broken or the wait was
  // interrupted (see SetInterrupt).
  virtual Wait Receive(Frame& frame, Clock::time_point deadline, std::string& error) = 0;
  // "knxd:/run/knx", "ip:192.168.1.20:3671": what the user gave.
  virtual std::string Name() const = 0;

  // Once `*flag` is true, Receive returns kFailed ("interrupted") within a
  // tenth of a second; Send still works, so that a connection can be closed.
  void SetInterrupt(const std::atomic<bool>* flag) { interrupt_ = flag; }
  bool Interrupted() const { return interrupt_ && interrupt_->load(); }

 protected:
  const std::atomic<bool>* interrupt_ = nullptr;
};

// Opens a link: "knxd:PATH", "knxd:tcp:HOST:PORT", "ip:HOST[:PORT]", or a
// registered scheme. Null with `error` saying why.
std::unique_ptr<Link> OpenLink(const std::string& text, std::string& error);
// The registered schemes with their usage ("knxd:PATH|knxd:tcp:HOST:PORT").
std::string LinkUsage();

// Registration of one scheme: `open` gets the text after "SCHEME:".
using LinkOpener = std::function<std::unique_ptr<Link>(const std::string& rest, std::string& error)>;
bool RegisterLink(const std::string& scheme, const std::string& usage, LinkOpener open);

#define BUS_REGISTER_LINK_CAT2(a, b) a##b
#define BUS_REGISTER_LINK_CAT(a, b) BUS_REGISTER_LINK_CAT2(a, b)
#define BUS_REGISTER_LINK(scheme, usage, open)                                          \
  static const bool BUS_REGISTER_LINK_CAT(kRegisteredLink, __LINE__) [[maybe_unused]] = \
      ::bus::RegisterLink(scheme, usage, open)

}  // namespace bus
