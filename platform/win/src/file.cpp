#include "win/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

namespace win {
namespace {

// Win32 errors without a name in base/hresult.h.
constexpr DWORD kErrorNotSameDevice = 17;
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorIoDevice = 1117;
constexpr DWORD kErrorCantResolveFilename = 1921;

int RetryOpen(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do fd = ::open(path, flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

DWORD WriteAll(int fd, const uint8_t* p, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Win32ErrorFromErrno(errno);
    }
    if (n == 0) return ERROR_DISK_FULL;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return ERROR_SUCCESS;
}

void SyncDirectory(const std::string& dir) {
  int fd = RetryOpen(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename itself is already atomic
  ::close(fd);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symbolic link names the file to replace.
std::string ResolveTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  std::unique_ptr<char, decltype(&free)> real(realpath(path.c_str(), nullptr), &free);
  return real ? std::string(real.get()) : path;
}

}  // namespace

DWORD Win32ErrorFromErrno(int err) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EAGAIN: return ERROR_LOCK_VIOLATION;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EXDEV: return kErrorNotSameDevice;
    case EFBIG: return kErrorFileTooLarge;
    case EIO: return kErrorIoDevice;
    case ELOOP: return kErrorCantResolveFilename;
    case ENOSYS:
    case EOPNOTSUPP: return ERROR_INVALID_FUNCTION;
    default: return kErrorGenFailure;
  }
}

DWORD Win32ErrorFromErrno(int err, const std::string& path) {
  DWORD e = Win32ErrorFromErrno(err);
  if (err == ENOENT && !DirectoryExists(ParentDirectory(path))) return ERROR_PATH_NOT_FOUND;
  return e;
}

std::string ParentDirectory(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsWritable(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(path.c_str(), W_OK) == 0;
}

DWORD CreateDirectories(const std::string& path) {
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  if (DirectoryExists(path)) return ERROR_SUCCESS;
  std::string parent = ParentDirectory(path);
  if (parent != path && !DirectoryExists(parent)) {
    if (DWORD e = CreateDirectories(parent); e != ERROR_SUCCESS) return e;
  }
  if (::mkdir(path.c_str(), 0777) != 0 && !(errno == EEXIST && DirectoryExists(path)))
    return Win32ErrorFromErrno(errno, path);
  return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// File

File::~File() { Close(); }

File::File(File&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    m_fd = other.m_fd;
    other.m_fd = -1;
  }
  return *this;
}

DWORD File::Open(const std::string& path, FileMode mode) {
  Close();
  int flags = 0;
  switch (mode) {
    case FileMode::Read: flags = O_RDONLY; break;
    // Without O_NONBLOCK opening a FIFO waits for a writer, for ever if
    // none comes.
    case FileMode::ReadRegular: flags = O_RDONLY | O_NONBLOCK; break;
    case FileMode::WriteCreate: flags = O_WRONLY | O_CREAT | O_TRUNC; break;
    case FileMode::ReadWrite: flags = O_RDWR; break;
    case FileMode::ReadWriteCreate: flags = O_RDWR | O_CREAT; break;
  }
  int fd = RetryOpen(path.c_str(), flags, 0666);
  if (fd < 0) return Win32ErrorFromErrno(errno, path);
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return ERROR_ACCESS_DENIED;
  }
  if (mode == FileMode::ReadRegular) {
    if (!S_ISREG(st.st_mode)) {
      ::close(fd);
      return kErrorNotRegularFile;
    }
    // Reads of a regular file never block anyway; clear the flag so that
    // the descriptor behaves as any other.
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  }
  m_fd = fd;
  return ERROR_SUCCESS;
}

DWORD File::Read(void* buffer, DWORD size, DWORD* bytesRead) {
  if (bytesRead) *bytesRead = 0;
  if (m_fd < 0) return ERROR_INVALID_HANDLE;
  if (!buffer && size) return ERROR_INVALID_PARAMETER;
  auto* p = static_cast<uint8_t*>(buffer);
  DWORD done = 0;
  while (done < size) {
    ssize_t n = ::read(m_fd, p + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (bytesRead) *bytesRead = done;
      return Win32ErrorFromErrno(errno);
    }
    if (n == 0) break;
    done += static_cast<DWORD>(n);
  }
  if (bytesRead) *bytesRead = done;
  return ERROR_SUCCESS;
}

DWORD File::Write(const void* buffer, DWORD size, DWORD* bytesWritten) {
  if (bytesWritten) *bytesWritten = 0;
  if (m_fd < 0) return ERROR_INVALID_HANDLE;
  if (!buffer && size) return ERROR_INVALID_PARAMETER;
  DWORD e = WriteAll(m_fd, static_cast<const uint8_t*>(buffer), size);
  if (e == ERROR_SUCCESS && bytesWritten) *bytesWritten = size;
  return e;
}

DWORD File::Seek(int64_t offset, SeekFrom from, uint64_t* newPosition) {
  if (m_fd < 0) return ERROR_INVALID_HANDLE;
  int whence = from == SeekFrom::Begin ? SEEK_SET : from == SeekFrom::Current ? SEEK_CUR : SEEK_END;
  off_t pos = ::lseek(m_fd, static_cast<off_t>(offset), whence);
  if (pos < 0) return errno == EINVAL ? ERROR_NEGATIVE_SEEK : Win32ErrorFromErrno(errno);
  if (newPosition) *newPosition = static_cast<uint64_t>(pos);
  return ERROR_SUCCESS;
}

DWORD File::Size(uint64_t& size) const {
  size = 0;
  if (m_fd < 0) return ERROR_INVALID_HANDLE;
  struct stat st;
  if (::fstat(m_fd, &st) != 0) return Win32ErrorFromErrno(errno);
  size = static_cast<uint64_t>(st.st_size);
  return ERROR_SUCCESS;
}

DWORD File::Truncate(uint64_t length) {
  if (m_fd < 0) return ERROR_INVALID_HANDLE;
  if (length > static_cast<uint64_t>(INT64_MAX)) return ERROR_INVALID_PARAMETER;
  int rc;
  do rc = ::ftruncate(m_fd, static_cast<off_t>(length));
  while (rc != 0 && errno == EINTR);
  return rc == 0 ? ERROR_SUCCESS : Win32ErrorFromErrno(errno);
}

DWORD File::Flush() {
  if (m_fd < 0) return ERROR_INVALID_HANDLE;
  return ::fsync(m_fd) == 0 ? ERROR_SUCCESS : Win32ErrorFromErrno(errno);
}

DWORD File::Close() {
  if (m_fd < 0) return ERROR_SUCCESS;
  int fd = m_fd;
  m_fd = -1;
  // The descriptor is gone even when close reports an error; never retry it.
  return ::close(fd) == 0 || errno == EINTR ? ERROR_SUCCESS : Win32ErrorFromErrno(errno);
}

// ---------------------------------------------------------------------------
// Whole files

DWORD ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, uint64_t limit) {
  bytes.clear();
  File file;
  if (DWORD e = file.Open(path, FileMode::ReadRegular); e != ERROR_SUCCESS) return e;
  uint64_t size = 0;
  if (DWORD e = file.Size(size); e != ERROR_SUCCESS) return e;
  if (size > limit) return kErrorFileTooLarge;
  if (size > bytes.max_size()) return ERROR_NOT_ENOUGH_MEMORY;
  // Read to the end even if the file grew or shrank since fstat, but never
  // more than one byte past the bound: that byte tells a file that grew
  // too large.
  std::vector<uint8_t> data;
  data.reserve(static_cast<size_t>(size));
  uint8_t chunk[65536];
  for (;;) {
    const uint64_t left = limit - std::min<uint64_t>(limit, data.size());  // bytes still allowed
    const DWORD want = left < sizeof chunk ? static_cast<DWORD>(left + 1) : DWORD{sizeof chunk};
    DWORD got = 0;
    if (DWORD e = file.Read(chunk, want, &got); e != ERROR_SUCCESS) return e;
    if (got == 0) break;
    data.insert(data.end(), chunk, chunk + got);
    if (data.size() > limit) return kErrorFileTooLarge;
  }
  bytes.swap(data);
  return ERROR_SUCCESS;
}

DWORD CheckRegularFile(const std::string& path, uint64_t limit) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return Win32ErrorFromErrno(errno, path);
  if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
  if (!S_ISREG(st.st_mode)) return kErrorNotRegularFile;
  if (static_cast<uint64_t>(st.st_size) > limit) return kErrorFileTooLarge;
  return ERROR_SUCCESS;
}

std::string FileErrorText(DWORD error, uint64_t limit) {
  if (error == kErrorNotRegularFile) return "It is not a regular file (a FIFO, a device or a socket).";
  if (error == kErrorFileTooLarge) return "It is larger than " + std::to_string(limit) + " bytes.";
  std::string text = base::MessageText(HRESULT_FROM_WIN32(error));
  return text.empty() ? "Error " + std::to_string(error) + "." : text;
}

DWORD WriteFileAtomic(const std::string& requested, const void* data, size_t size) {
  if (!data && size) return ERROR_INVALID_PARAMETER;
  const std::string path = ResolveTarget(requested);
  const std::string dir = ParentDirectory(path);

  struct stat old;
  bool exists = ::stat(path.c_str(), &old) == 0;
  if (exists && (S_ISDIR(old.st_mode) || !IsWritable(path))) return ERROR_ACCESS_DENIED;
  if (!exists && errno != ENOENT) return Win32ErrorFromErrno(errno, path);
  if (!DirectoryExists(dir)) return ERROR_PATH_NOT_FOUND;
  if (!IsWritable(dir)) return ERROR_ACCESS_DENIED;

  // A name of our own beside the target; O_EXCL keeps two writers apart.
  static std::atomic<uint32_t> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = dir + "/." + BaseName(path) + "." + std::to_string(::getpid()) + "." +
           std::to_string(counter.fetch_add(1)) + ".tmp";
    fd = RetryOpen(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno != EEXIST) return Win32ErrorFromErrno(errno, temp);
  }
  if (fd < 0) return ERROR_ALREADY_EXISTS;

  DWORD e = WriteAll(fd, static_cast<const uint8_t*>(data), size);
  if (e == ERROR_SUCCESS && exists && ::fchmod(fd, old.st_mode & 07777) != 0) e = Win32ErrorFromErrno(errno);
  if (e == ERROR_SUCCESS && ::fsync(fd) != 0) e = Win32ErrorFromErrno(errno);
  if (::close(fd) != 0 && e == ERROR_SUCCESS && errno != EINTR) e = Win32ErrorFromErrno(errno);
  if (e == ERROR_SUCCESS && ::rename(temp.c_str(), path.c_str()) != 0) e = Win32ErrorFromErrno(errno, path);
  if (e != ERROR_SUCCESS) {
    ::unlink(temp.c_str());
    return e;
  }
  SyncDirectory(dir);
  return ERROR_SUCCESS;
}

}  // namespace win
