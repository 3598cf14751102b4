#pragma once
// Small POSIX socket helpers shared by the links and the device emulator.
#include <netinet/in.h>

#include <atomic>
#include <string>

#include "bus/frame.h"

namespace bus {

// An owned file descriptor, closed on destruction.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

enum class Readable { kYes, kTimeout, kInterrupted, kError };
// Waits until `fd` is readable or `deadline` passes; checks `interrupt`
// every 100 ms.
Readable WaitReadable(int fd, Clock::time_point deadline, const std::atomic<bool>* interrupt);

Fd ConnectUnix(const std::string& path, std::string& error);
Fd ConnectTcp(const std::string& host, uint16_t port, std::string& error);
bool WriteAll(int fd, const uint8_t* data, size_t n, std::string& error);

// "HOST" (a name or dotted IPv4 address) and port into an IPv4 socket address.
bool ResolveIpv4(const std::string& host, uint16_t port, sockaddr_in& out, std::string& error);
// "HOST:PORT" or "HOST" (then `defaultPort`); false for a bad port.
bool SplitHostPort(const std::string& text, uint16_t defaultPort, std::string& host, uint16_t& port);
std::string EndpointText(const sockaddr_in& address);

}  // namespace bus
