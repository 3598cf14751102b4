#include "bus_processes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "temp_home.h"

extern char** environ;

namespace bustest {

bool Child::Start(const std::vector<std::string>& argv, const std::string& errFile) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  std::vector<std::string> args = argv;
  std::vector<char*> raw;
  for (std::string& a : args) raw.push_back(a.data());
  raw.push_back(nullptr);
  const int r = posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (r != 0) {
    ::close(pipeFds[0]);
    pid_ = -1;
    return false;
  }
  out_ = pipeFds[0];
  return true;
}

std::optional<std::string> Child::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const size_t nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || out_ < 0) return std::nullopt;
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, int(left.count())) <= 0) continue;
    char chunk[512];
    const ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    buffer_.append(chunk, size_t(n));
  }
}

std::optional<int> Child::Wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      if (out_ >= 0) ::close(out_);
      out_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int Child::Stop() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  pid_t done = 0;
  while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (done == 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    status = -1;
  }
  pid_ = -1;
  if (out_ >= 0) ::close(out_);
  out_ = -1;
  return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string KnxdProgram() {
  for (const char* p : {"/usr/bin/knxd", "/usr/sbin/knxd", "/usr/local/bin/knxd"})
    if (::access(p, X_OK) == 0) return p;
  return "";
}

namespace {
// The socket exists. (A probe connection is not made: knxd would give it
// the first address of its client pool, which belongs to the emulator.)
bool SocketExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}
}  // namespace

bool Knxd::Start(const std::string& dir, const std::string& busDriver, std::string& error) {
  const std::string program = KnxdProgram();
  if (program.empty()) {
    error = "knxd is not installed";
    return false;
  }
  socket_ = dir + "/eib";
  if (!child_.Start({program, "-e", "0.0.1", "-E", "0.0.2:8", "-u", socket_, "-b", busDriver},
                    dir + "/knxd.log")) {
    error = "knxd cannot be started";
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (SocketExists(socket_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  error = "knxd did not open " + socket_ + ": " + ReadFileText(dir + "/knxd.log");
  return false;
}

bool Emulator::Start(const std::vector<std::string>& options, const std::string& dir, std::string& error) {
  memoryFile_ = dir + "/device-memory.bin";
  errFile_ = dir + "/emulator.err";
  std::vector<std::string> argv = {testsupport::BinDir() + "/dx47x-device-emulator", "--memory-out",
                                   memoryFile_};
  argv.insert(argv.end(), options.begin(), options.end());
  if (!child_.Start(argv, errFile_)) {
    error = "the emulator cannot be started";
    return false;
  }
  const std::optional<std::string> line = child_.ReadLine(std::chrono::seconds(5));
  if (!line || line->rfind("ready", 0) != 0) {
    child_.Stop();
    error = "the emulator did not get ready: " + ReadFileText(errFile_);
    return false;
  }
  const size_t tunnel = line->find("tunnel ");
  if (tunnel != std::string::npos)
    endpoint_ = line->substr(tunnel + 7, line->find(' ', tunnel + 7) - tunnel - 7);
  return true;
}

bool Emulator::Stop(std::vector<char>& memory, std::string& counters) {
  const int status = child_.Stop();
  memory = ReadFileBytes(memoryFile_);
  counters = ReadFileText(errFile_);
  return status == 0 && memory.size() == 65536;
}

std::vector<char> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>((std::istreambuf_iterator<char>(in)), {});
}

std::string ReadFileText(const std::string& path) {
  std::vector<char> b = ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}

}  // namespace bustest
