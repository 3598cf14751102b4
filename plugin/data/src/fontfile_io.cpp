// Reading and writing font files on disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "data/fontfile.h"

namespace dx470 {
namespace {

// Closes a descriptor when it leaves scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

FontResult ReadFontFile(const std::string& path, ZEICHENSATZ& font) {
  // Opened without blocking and refused unless it is a regular file: a FIFO
  // would block the editor for ever, a device might never end.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return {FontStatus::OpenFailed, 0, -1};
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {FontStatus::OpenFailed, 0, -1};
  if (const int flags = ::fcntl(fd.get(), F_GETFL); flags >= 0)
    ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  std::vector<uint8_t> buffer(kFontFileReadLimit, 0);
  size_t got = 0;
  while (got < buffer.size()) {
    ssize_t r = ::read(fd.get(), buffer.data() + got, buffer.size() - got);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return {FontStatus::ReadFailed, 0, -1};
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  return ParseFontFile(buffer.data(), got, font);
}

FontResult WriteFontFile(const std::string& path, const ZEICHENSATZ& font) {
  std::vector<uint8_t> bytes;
  FontResult r = BuildFontFile(font, bytes);
  if (!r.ok()) return r;

  std::string temp = path + ".XXXXXX";
  Fd fd(::mkstemp(temp.data()));
  if (fd.get() < 0) return {FontStatus::WriteFailed, 0, -1};
  bool ok = ::fchmod(fd.get(), 0644) == 0 && WriteAll(fd.get(), bytes.data(), bytes.size()) &&
            ::fsync(fd.get()) == 0;
  ok = ::close(fd.release()) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return {FontStatus::WriteFailed, 0, -1};
  }
  return r;
}

}  // namespace dx470
