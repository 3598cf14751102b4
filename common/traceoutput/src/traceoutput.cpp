#include "traceoutput/traceoutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <mutex>

namespace traceoutput {

int EnabledLevel() {
  const char* level = std::getenv("DX47X_TRACE");
  if (!level || !*level) return 0;
  char* end = nullptr;
  long n = std::strtol(level, &end, 10);
  if (end == level) return 4;  // any non-numeric setting: everything
  return n < 0 ? 0 : n > 9 ? 9 : int(n);
}

void WriteLine(int level, const std::string& channel, const std::string& text) {
  static std::mutex mutex;
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%H:%M:%S", &tm);
  const char letter = level <= 2 ? 'E' : level == 3 ? 'W' : 'I';
  std::string line =
      std::string(stamp) + " " + letter + " " + (channel.empty() ? std::string() : channel + ": ") + text;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  line += '\n';

  std::lock_guard lock(mutex);
  const char* path = std::getenv("DX47X_TRACE_FILE");
  int fd = 2;
  if (path && *path) {
    fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) fd = 2;
  }
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= size_t(n);
  }
  if (fd != 2) ::close(fd);
}

}  // namespace traceoutput
