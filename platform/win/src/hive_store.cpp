#include "hive_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include "base/hresult.h"
#include "win/file.h"
#include "win/home.h"
#include "win/registry.h"

namespace win::reg {
namespace {

struct HiveInfo {
  const char* file;
  const char* rootName;
};
constexpr HiveInfo kHives[kHiveCount] = {
    {"HKCR.reg", "HKEY_CLASSES_ROOT"},
    {"HKCU.reg", "HKEY_CURRENT_USER"},
    {"HKLM.reg", "HKEY_LOCAL_MACHINE"},
};

thread_local std::string t_lastError;

// What identifies one version of a hive file: a rewrite renames a new file
// into place, which changes the inode and the change time.
struct Signature {
  bool exists = false;
  int statError = 0;  // why the file could not be looked at, other than its absence
  mode_t mode = 0;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  timespec ctime{};

  bool operator==(const Signature& o) const {
    return exists == o.exists && statError == o.statError && mode == o.mode && dev == o.dev && ino == o.ino &&
           size == o.size && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec &&
           ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

struct CachedHive {
  bool loaded = false;
  Signature signature;
  std::unique_ptr<Node> root;
  LONG error = ERROR_SUCCESS;  // why the file could not be loaded
  std::string errorText;
};

// Holds flock on a hive's lock file for one scope.
class FileLock {
 public:
  LONG Acquire(const std::string& path) {
    do m_fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) return static_cast<LONG>(Win32ErrorFromErrno(errno, path));
    int rc;
    do rc = ::flock(m_fd, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    return rc == 0 ? ERROR_SUCCESS : static_cast<LONG>(Win32ErrorFromErrno(errno));
  }
  ~FileLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
  }

 private:
  int m_fd = -1;
};

// Reads a hive file that must be a regular file of at most kMaxHiveBytes.
// Opened without blocking, so that a FIFO put in the hive's place cannot
// hang the reader; the size is checked again while reading, in case the
// file grows. `tooLarge` or `notRegular` tell those refusals apart from
// system errors.
DWORD ReadHiveFile(const std::string& path, std::string& text, bool& notRegular, bool& tooLarge) {
  text.clear();
  notRegular = tooLarge = false;
  int fd;
  do fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return Win32ErrorFromErrno(errno, path);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st;
  if (::fstat(fd, &st) != 0) return Win32ErrorFromErrno(errno);
  if (!S_ISREG(st.st_mode)) {
    notRegular = true;
    return ERROR_REGISTRY_CORRUPT;
  }
  if (static_cast<uint64_t>(st.st_size) > kMaxHiveBytes) {
    tooLarge = true;
    return ERROR_REGISTRY_CORRUPT;
  }
  text.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  for (;;) {
    if (got == text.size()) {
      if (text.size() > kMaxHiveBytes) {
        text.clear();
        tooLarge = true;
        return ERROR_REGISTRY_CORRUPT;
      }
      text.resize(std::min(kMaxHiveBytes + 1, text.size() + 65536));  // the file grew
    }
    ssize_t n = ::read(fd, text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      DWORD e = Win32ErrorFromErrno(errno);
      text.clear();
      return e;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  text.resize(got);
  return ERROR_SUCCESS;
}

class Store {
 public:
  static Store& Instance() {
    static Store store;
    return store;
  }

  LONG Read(HiveId id, const std::function<LONG(const Node&)>& read) {
    std::lock_guard lock(m_mutex);
    CheckHome();
    CachedHive& hive = Refresh(id);
    if (hive.error != ERROR_SUCCESS) return Fail(hive.error, hive.errorText);
    return read(*hive.root);
  }

  LONG Write(HiveId id, const std::function<LONG(Node&, bool&)>& change) {
    std::lock_guard lock(m_mutex);
    CheckHome();
    const std::string dir = Folder();
    const std::string file = FilePath(id);
    if (DirectoryExists(dir) && !IsWritable(dir))
      return Fail(ERROR_ACCESS_DENIED, "registry folder " + dir + " is read-only");
    if (FileExists(file) && !IsWritable(file))
      return Fail(ERROR_ACCESS_DENIED, "the registry file " + file + " is read-only");
    if (DWORD e = CreateDirectories(dir); e != ERROR_SUCCESS)
      return Fail(static_cast<LONG>(e),
                  "cannot create registry folder " + dir + ": " + base::MessageText(HRESULT_FROM_WIN32(e)));
    FileLock fileLock;
    if (LONG e = fileLock.Acquire(file + ".lock"); e != ERROR_SUCCESS)
      return Fail(e,
                  "cannot lock the registry file " + file + ": " + base::MessageText(HRESULT_FROM_WIN32(e)));

    CachedHive& hive = Refresh(id);
    if (hive.error != ERROR_SUCCESS) return Fail(hive.error, hive.errorText);
    bool changed = false;
    LONG rc = change(*hive.root, changed);
    if (!changed) return rc;
    if (rc != ERROR_SUCCESS) {
      hive.loaded = false;  // a failed change must not linger in the cache
      return rc;
    }
    std::string text, why;
    if (!SerializeHive(*hive.root, kHives[id].rootName, text, why)) {
      hive.loaded = false;  // the change is dropped; the file keeps the old state
      return Fail(static_cast<LONG>(ERROR_CANTWRITE), "cannot write the registry file " + file + ": " + why);
    }
    DWORD e = WriteFileAtomic(file, text);
    if (e != ERROR_SUCCESS) {
      hive.loaded = false;  // the file still holds the old state
      return Fail(static_cast<LONG>(e),
                  "cannot write the registry file " + file + ": " + base::MessageText(HRESULT_FROM_WIN32(e)));
    }
    hive.signature = Stat(file);
    return ERROR_SUCCESS;
  }

  void Flush() {
    std::lock_guard lock(m_mutex);
    for (CachedHive& hive : m_hives) hive = CachedHive();
  }

 private:
  std::string Folder() const { return m_home + "/registry"; }
  std::string FilePath(HiveId id) const { return Folder() + "/" + kHives[id].file; }

  void CheckHome() {
    std::string home = HomeDirectory();
    if (home == m_home) return;
    m_home = std::move(home);
    for (CachedHive& hive : m_hives) hive = CachedHive();
  }

  static Signature Stat(const std::string& path) {
    Signature sig;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) sig.statError = errno;
      return sig;
    }
    sig.exists = true;
    sig.mode = st.st_mode;
    sig.dev = st.st_dev;
    sig.ino = st.st_ino;
    sig.size = st.st_size;
    sig.mtime = st.st_mtim;
    sig.ctime = st.st_ctim;
    return sig;
  }

  // The cached hive, re-read when its file is not the one last read.
  CachedHive& Refresh(HiveId id) {
    CachedHive& hive = m_hives[id];
    const std::string file = FilePath(id);
    Signature sig = Stat(file);
    if (hive.loaded && sig == hive.signature) return hive;

    hive = CachedHive();
    hive.loaded = true;
    hive.signature = sig;
    hive.root = std::make_unique<Node>();
    if (sig.statError) {
      DWORD e = Win32ErrorFromErrno(sig.statError, file);
      hive.error = static_cast<LONG>(e);
      hive.errorText =
          "cannot reach the registry file " + file + ": " + base::MessageText(HRESULT_FROM_WIN32(e));
      hive.loaded = false;
      return hive;
    }
    if (!sig.exists) return hive;  // a missing hive is an empty one

    std::string text;
    bool notRegular = false, tooLarge = false;
    if (DWORD e = ReadHiveFile(file, text, notRegular, tooLarge); e != ERROR_SUCCESS) {
      hive.error = static_cast<LONG>(e);
      if (notRegular) {
        hive.errorText = "the registry file " + file + " is not a regular file";
      } else if (tooLarge) {
        hive.errorText = "the registry file " + file + " is corrupt: larger than " +
                         std::to_string(kMaxHiveBytes) + " bytes";
      } else {
        hive.errorText =
            "cannot read the registry file " + file + ": " + base::MessageText(HRESULT_FROM_WIN32(e));
        hive.loaded = false;  // try again next time
      }
      return hive;
    }
    std::string why;
    if (!ParseHive(text, kHives[id].rootName, *hive.root, why)) {
      hive.root = std::make_unique<Node>();
      hive.error = static_cast<LONG>(ERROR_REGISTRY_CORRUPT);
      hive.errorText = "the registry file " + file + " is corrupt: " + why;
    }
    return hive;
  }

  std::mutex m_mutex;
  std::string m_home;
  CachedHive m_hives[kHiveCount];
};

}  // namespace

void SetLastErrorText(std::string text) { t_lastError = std::move(text); }

LONG Fail(LONG rc, std::string text) {
  t_lastError = std::move(text);
  return rc;
}

LONG ReadHive(HiveId hive, const std::function<LONG(const Node&)>& read) {
  return Store::Instance().Read(hive, read);
}

LONG WriteHive(HiveId hive, const std::function<LONG(Node&, bool&)>& change) {
  return Store::Instance().Write(hive, change);
}

void FlushHives() { Store::Instance().Flush(); }

}  // namespace win::reg

namespace win {

std::string RegistryLastError() { return reg::t_lastError; }

}  // namespace win
