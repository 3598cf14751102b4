#pragma once
// Processes of the end-to-end bus tests: a knxd on a unix socket in the
// test's folder and the device emulator, each started here and ended by its
// process id.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace bustest {

class Child {
 public:
  Child() = default;
  ~Child() { Stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Starts argv[0] (a path) with standard output to a pipe and standard
  // error to `errFile`.
  bool Start(const std::vector<std::string>& argv, const std::string& errFile);
  // A line of its standard output, waiting at most `timeout`.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  // Waits at most `timeout` for it to end by itself: its exit status (128
  // and more for a signal), or nothing while it still runs.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  // SIGTERM, then SIGKILL if it has not ended within 3 s; the exit status
  // (or -1 when it was killed).
  int Stop();
  bool Running() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

// The knxd program, or "" when it is not installed.
std::string KnxdProgram();

// knxd with a unix socket DIR/eib: "-b dummy:" (clients only) or
// "-b ipt:127.0.0.1:PORT" (the emulator's tunnelling server as its bus).
class Knxd {
 public:
  bool Start(const std::string& dir, const std::string& busDriver, std::string& error);
  const std::string& Socket() const { return socket_; }
  Child& Process() { return child_; }

 private:
  Child child_;
  std::string socket_;
};

// dx47x-device-emulator with the given options; Start waits for its
// "ready" line.
class Emulator {
 public:
  bool Start(const std::vector<std::string>& options, const std::string& dir, std::string& error);
  // "127.0.0.1:PORT" of its tunnelling server.
  const std::string& Endpoint() const { return endpoint_; }
  // Ends it and reads the memory it wrote (--memory-out is added by Start)
  // and its counters line.
  bool Stop(std::vector<char>& memory, std::string& counters);
  Child& Process() { return child_; }

 private:
  Child child_;
  std::string endpoint_;
  std::string memoryFile_;
  std::string errFile_;
};

std::vector<char> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);

}  // namespace bustest
