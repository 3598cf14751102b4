// Fuzz target of the knxd link: the input (after the session plan, see
// bus_session.h) is what knxd says on the client socket, from the answer to
// the raw transport request on: length-prefixed messages, TPDU packets
// among them. The link reads it from a socket pair whose other end has sent
// the input and shut down its writing, so the stream ends where the input
// ends; what the link sends piles up unread on the other end.
#include <sys/socket.h>
#include <unistd.h>

#include "bus/knxd_link.h"
#include "bus_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<fuzzbus::Operation> plan = fuzzbus::TakePlan(data, size);
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) fuzzbus::Fail("no socket pair");
  bus::Fd ours(ends[0]), knxd(ends[1]);
  // Room for the whole input and everything the session may send.
  const int room = 1 << 20;
  ::setsockopt(knxd.Get(), SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
  ::setsockopt(knxd.Get(), SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
  std::string error;
  if (size && !bus::WriteAll(knxd.Get(), data, size, error)) fuzzbus::Fail("cannot feed the link:", error);
  ::shutdown(knxd.Get(), SHUT_WR);
  std::unique_ptr<bus::Link> link = bus::OpenKnxdOver(std::move(ours), "knxd:fuzz", error);
  if (!link && error.empty()) fuzzbus::Fail("the link did not open and gave no reason");
  fuzzbus::RunSession(std::move(link), plan);
  return 0;
}
