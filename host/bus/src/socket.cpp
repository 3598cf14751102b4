#include "bus/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace bus {

void Fd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

Readable WaitReadable(int fd, Clock::time_point deadline, const std::atomic<bool>* interrupt) {
  for (;;) {
    if (interrupt && interrupt->load()) return Readable::kInterrupted;
    const auto now = Clock::now();
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    if (deadline > now && left.count() == 0) left = std::chrono::milliseconds(1);
    if (left.count() <= 0) {
      // Past the deadline: still take what has already arrived.
      pollfd p{fd, POLLIN, 0};
      int r = ::poll(&p, 1, 0);
      return r > 0 ? Readable::kYes : Readable::kTimeout;
    }
    const int slice =
        interrupt ? int(std::min<int64_t>(left.count(), 100)) : int(std::min<int64_t>(left.count(), 1 << 30));
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, slice);
    if (r > 0) return (p.revents & (POLLIN | POLLHUP | POLLERR)) ? Readable::kYes : Readable::kError;
    if (r < 0 && errno != EINTR) return Readable::kError;
  }
}

Fd ConnectUnix(const std::string& path, std::string& error) {
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    error = "the socket path \"" + path + "\" is empty or too long";
    return Fd();
  }
  Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    error = std::string("cannot create a socket: ") + std::strerror(errno);
    return Fd();
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    error = "cannot connect to " + path + ": " + std::strerror(errno);
    return Fd();
  }
  return fd;
}

Fd ConnectTcp(const std::string& host, uint16_t port, std::string& error) {
  sockaddr_in address{};
  if (!ResolveIpv4(host, port, address, error)) return Fd();
  Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    error = std::string("cannot create a socket: ") + std::strerror(errno);
    return Fd();
  }
  if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    error = "cannot connect to " + EndpointText(address) + ": " + std::strerror(errno);
    return Fd();
  }
  int one = 1;
  ::setsockopt(fd.Get(), IPPROTO_TCP, 1 /* TCP_NODELAY */, &one, sizeof one);
  return fd;
}

bool WriteAll(int fd, const uint8_t* data, size_t n, std::string& error) {
  while (n > 0) {
    ssize_t w = ::send(fd, data, n, MSG_NOSIGNAL);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      error = std::string("cannot send: ") + std::strerror(errno);
      return false;
    }
    data += w;
    n -= size_t(w);
  }
  return true;
}

bool ResolveIpv4(const std::string& host, uint16_t port, sockaddr_in& out, std::string& error) {
  out = {};
  out.sin_family = AF_INET;
  out.sin_port = htons(port);
  if (::inet_pton(AF_INET, host.c_str(), &out.sin_addr) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  int r = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (r != 0 || !found) {
    error = "cannot resolve the host \"" + host + "\": " + (r ? gai_strerror(r) : "no address");
    return false;
  }
  out.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  ::freeaddrinfo(found);
  return true;
}

bool SplitHostPort(const std::string& text, uint16_t defaultPort, std::string& host, uint16_t& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) {
    host = text;
    port = defaultPort;
    return !host.empty();
  }
  host = text.substr(0, colon);
  const std::string digits = text.substr(colon + 1);
  if (host.empty() || digits.empty() || digits.size() > 5) return false;
  unsigned v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + unsigned(c - '0');
  }
  if (v == 0 || v > 65535) return false;
  port = uint16_t(v);
  return true;
}

std::string EndpointText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = "?";
  ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

}  // namespace bus
