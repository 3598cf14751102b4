// CWriter: files, buffering and directories.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "xmlweave/writer.h"

namespace xmlweave {

CWriter::CWriter() : CWriter(TraceChannel("CWriter")) {}
CWriter::CWriter(TraceChannel channel) : m_trace(std::move(channel)) {}
CWriter::~CWriter() { Close(); }

namespace {

constexpr size_t npos = std::string::npos;

// Paths of clients written for the other platform use '\' as well as '/'.
std::string WithSlashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// Folder ("." for a bare name) and name of a path.
void SplitPath(const std::string& path, std::string& dir, std::string& name) {
  const size_t slash = path.rfind('/');
  if (slash == npos) {
    dir = ".";
    name = path;
  } else {
    dir = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

// The temporary files of a target "name" are "name.~XXXXXX", the six
// characters letters or digits as mkstemp chooses them.
constexpr std::string_view kTemporaryMark = ".~";
constexpr size_t kRandomPart = 6;

bool IsTemporaryOf(std::string_view entry, std::string_view name) {
  if (entry.size() != name.size() + kTemporaryMark.size() + kRandomPart) return false;
  if (entry.substr(0, name.size()) != name) return false;
  if (entry.substr(name.size(), kTemporaryMark.size()) != kTemporaryMark) return false;
  for (char c : entry.substr(name.size() + kTemporaryMark.size())) {
    bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!alnum) return false;
  }
  return true;
}

}  // namespace

// Every writer holds an exclusive flock(2) on its temporary file from its
// creation until it is renamed over the target or removed. Such a lock
// belongs to the open file, so the system drops it when the writer's
// process ends however it ends, and it keeps two writers in one process
// apart as well as two processes (which fcntl locks would not). A temporary
// file whose lock can be taken therefore has no live writer: it is the
// leftover of one that died before Close. The name is checked again under
// the lock, so that only the file that was locked is removed.
void CWriter::RemoveStaleTemporaries(const std::string& target) {
  std::string dir, name;
  SplitPath(target, dir, name);
  if (name.empty()) return;
  std::vector<std::string> found;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (IsTemporaryOf(e->d_name, name)) found.emplace_back(e->d_name);
    ::closedir(d);
  }
  for (const std::string& entry : found) {
    const std::string path = dir + "/" + entry;
    struct stat named {};
    // Only regular files are opened: opening a device can have effects.
    if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) continue;
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(path.c_str(), O_RDONLY | flags);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | flags);
    if (fd < 0) continue;
    struct stat held {};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
      ::unlink(path.c_str());
    ::close(fd);  // drops the lock
  }
}

// A new temporary file beside `target`, locked (see RemoveStaleTemporaries).
// A cleaner that locked it first is about to remove it, and one may have
// removed it before the lock was taken: then another name is tried. Where
// the file system has no locks the file stays unlocked; no cleaner can lock
// it there either, so none removes it.
HRESULT CWriter::CreateLockedTemporary(const std::string& target, int& fd, std::string& name, DWORD& err) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = target;
    name.append(kTemporaryMark).append(kRandomPart, 'X');
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
      const int e = errno;
      err = e == ENOENT ? ERROR_PATH_NOT_FOUND : win::Win32ErrorFromErrno(e, target);
      return HRESULT_FROM_WIN32(err);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR)) {
      ::close(fd);
      continue;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_nlink == 0) {
      ::close(fd);
      continue;
    }
    return S_OK;
  }
  fd = -1;
  err = ERROR_ALREADY_EXISTS;
  return HRESULT_FROM_WIN32(err);
}

// Opens a temporary file in the target's folder, with the permissions the
// target has (or a new file's), refusing targets that could not be written.
// A target that exists and is not a regular file is opened itself.
HRESULT CWriter::OpenTemporary(DWORD& err) {
  err = ERROR_SUCCESS;
  std::string target = m_target;
  char resolved[PATH_MAX];
  struct stat st {};
  bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && ::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
      ::realpath(target.c_str(), resolved)) {
    target = resolved;  // replace the file a link names, not the link
  }
  if (exists) exists = ::stat(target.c_str(), &st) == 0;
  if (exists && (S_ISDIR(st.st_mode) || !win::IsWritable(target))) {
    err = ERROR_ACCESS_DENIED;
    return HRESULT_FROM_WIN32(err);
  }
  if (exists && !S_ISREG(st.st_mode)) {
    // A FIFO or a device node cannot be replaced by a regular file.
    err = m_file.Open(target, win::FileMode::WriteCreate);
    if (err != ERROR_SUCCESS) return HRESULT_FROM_WIN32(err);
    // Moves, which cannot fail: the file is open now.
    m_temporary.clear();
    m_target = std::move(target);
    return S_OK;
  }
  RemoveStaleTemporaries(target);
  int fd = -1;
  std::string pattern;
  HRESULT hr = CreateLockedTemporary(target, fd, pattern, err);
  if (FAILED(hr)) return hr;
  if (exists) {
    ::fchmod(fd, st.st_mode & 07777);
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  err = m_file.Open(pattern, win::FileMode::WriteCreate);
  if (err != ERROR_SUCCESS) {
    ::unlink(pattern.c_str());
    ::close(fd);
    return HRESULT_FROM_WIN32(err);
  }
  // Moves, which cannot fail: an allocation failing here would leave the
  // open temporary file and its lock unknown to Close.
  m_lockFd = fd;
  m_temporary = std::move(pattern);
  m_target = std::move(target);
  return S_OK;
}

HRESULT CWriter::CreateFile(const std::string& requested, bool tabs, bool lineEnds) {
  m_tabs = tabs;
  m_lineEnds = lineEnds;
  if (requested.empty()) {
    XW_TRACE_ERROR(m_trace) << "CreateFile: file name is empty";
    return E_INVALIDARG;
  }
  Close();
  const std::string path = WithSlashes(requested);
  m_target = path;
  m_writeError = S_OK;
  if (!m_buf) m_buf = std::make_unique<char[]>(kBufferSize + kLineSlack);
  m_len = 0;
  m_putError = S_OK;
  DWORD err = ERROR_SUCCESS;
  HRESULT hr = OpenTemporary(err);
  if (err == ERROR_PATH_NOT_FOUND) {
    hr = CreatePathDirectories(path);
    if (FAILED(hr)) return hr;
    m_target = path;
    hr = OpenTemporary(err);
    if (FAILED(hr)) {
      XW_TRACE_ERROR(m_trace) << "CreateFile failed with GetLastError = " << uint32_t(err);
      return hr;
    }
  } else if (FAILED(hr)) {
    XW_TRACE_ERROR(m_trace) << "CreateFile failed with GetLastError = " << uint32_t(err);
    XW_TRACE_ERROR(m_trace) << "File = " << path;
    return hr;
  }
  return S_OK;
}

HRESULT CWriter::WriteOut(const char* data, size_t size) {
  DWORD err = ERROR_SUCCESS;
  for (size_t done = 0; done < size && err == ERROR_SUCCESS;) {
    const DWORD part = DWORD(std::min<size_t>(size - done, 1u << 30));
    err = m_file.Write(data + done, part);
    done += part;
  }
  if (err == ERROR_SUCCESS) return S_OK;
  // Kept before the trace line, which may fail for want of memory.
  HRESULT hr = HRESULT_FROM_WIN32(err);
  if (SUCCEEDED(m_writeError)) m_writeError = hr;
  XW_TRACE_ERROR(m_trace) << "Write failed with GetLastError = " << uint32_t(err);
  return hr;
}

HRESULT CWriter::Flush() {
  HRESULT hr = m_len ? WriteOut(m_buf.get(), m_len) : S_OK;
  m_len = 0;
  return hr;
}

// A piece that does not fit: flush, then buffer it or, when it is large,
// write it directly.
void CWriter::PutLarge(const char* data, size_t size) {
  HRESULT hr = Flush();
  if (size >= kFlushSize) {
    HRESULT direct = WriteOut(data, size);
    if (SUCCEEDED(hr)) hr = direct;
  } else {
    std::memcpy(m_buf.get(), data, size);
    m_len = size;
  }
  if (FAILED(hr) && SUCCEEDED(m_putError)) m_putError = hr;
}

HRESULT CWriter::EndWriteSlow() {
  HRESULT hr = m_len >= kFlushSize ? Flush() : S_OK;
  if (FAILED(m_putError)) {
    hr = m_putError;
    m_putError = S_OK;
  }
  return hr;
}

HRESULT CWriter::Append(std::string_view bytes) {
  Put(bytes.data(), bytes.size());
  return EndWrite();
}

HRESULT CWriter::Close() {
  if (!m_file.IsOpen()) return S_OK;
  std::string end = "</" + m_root + ">";
  HRESULT hr = Write(end, true);
  Flush();
  DWORD err = m_file.Close();
  if (err != ERROR_SUCCESS && SUCCEEDED(m_writeError)) m_writeError = HRESULT_FROM_WIN32(err);
  if (m_temporary.empty()) {
    // Written in place: nothing to replace, nothing to take back.
    if (SUCCEEDED(hr)) hr = m_writeError;
  } else if (FAILED(m_writeError)) {
    // The target keeps what it held; the failed document is dropped.
    ::unlink(m_temporary.c_str());
    if (SUCCEEDED(hr)) hr = m_writeError;
  } else if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
    DWORD e = win::Win32ErrorFromErrno(errno, m_target);
    XW_TRACE_ERROR(m_trace) << "Write failed with GetLastError = " << uint32_t(e);
    ::unlink(m_temporary.c_str());
    if (SUCCEEDED(hr)) hr = HRESULT_FROM_WIN32(e);
  }
  CloseFiles();
  return hr;
}

void CWriter::Abandon() {
  if (!m_file.IsOpen()) return;
  m_len = 0;
  m_putError = S_OK;
  m_file.Close();
  if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
  CloseFiles();
}

// The lock goes last: until the temporary file is renamed or removed, no
// cleaner may take it for a leftover.
void CWriter::CloseFiles() {
  m_file.Close();
  if (m_lockFd >= 0) ::close(m_lockFd);
  m_lockFd = -1;
  m_temporary.clear();
  m_writeError = S_OK;
}

HRESULT CWriter::CreatePathDirectories(const std::string& requested) {
  if (requested.empty()) return E_INVALIDARG;
  const std::string path = WithSlashes(requested);
  auto next = [&path](size_t from) { return path.find('/', from); };
  size_t p0 = next(0);
  if (p0 == std::string::npos) return E_FAIL;
  size_t p = next(p0 + 1);
  if (p == p0 + 1) p = next(p + 1);  // "\\server\share": skip the server part
  HRESULT hr = E_FAIL;
  while (p != std::string::npos) {
    std::string dir = path.substr(0, p);
    if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
      DWORD err = win::Win32ErrorFromErrno(errno, dir);
      XW_TRACE_ERROR(m_trace) << "CreateDirectory failed with GetLastError = " << uint32_t(err);
      return HRESULT_FROM_WIN32(err);
    }
    hr = S_OK;
    p = next(p + 1);
  }
  return hr;
}

}  // namespace xmlweave
