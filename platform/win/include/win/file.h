#pragma once
// Files with Win32 error numbers: every operation answers ERROR_SUCCESS or
// the Win32 error that matches the failing system call.
#include <cstdint>
#include <string>
#include <vector>

#include "base/export.h"
#include "base/hresult.h"
#include "base/types.h"

namespace win {

// errno → Win32 error number (ENOENT → ERROR_FILE_NOT_FOUND, EACCES →
// ERROR_ACCESS_DENIED, ENOSPC → ERROR_DISK_FULL, …).
RT_API DWORD Win32ErrorFromErrno(int err);
// The same, refined by the path that failed: ENOENT becomes
// ERROR_PATH_NOT_FOUND when the file's folder does not exist either.
RT_API DWORD Win32ErrorFromErrno(int err, const std::string& path);

enum class FileMode {
  Read,             // existing file, reading
  WriteCreate,      // created or emptied, writing
  ReadWrite,        // existing file, reading and writing
  ReadWriteCreate,  // created when missing (kept when present), reading and writing
};

enum class SeekFrom { Begin = 0, Current = 1, End = 2 };

// An open file, closed by the destructor. Share flags do not exist here: any
// number of handles may be open on one file.
class RT_API File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Folders are refused with ERROR_ACCESS_DENIED, as on Windows.
  DWORD Open(const std::string& path, FileMode mode);
  bool IsOpen() const { return m_fd >= 0; }

  // Reads up to `size` bytes; fewer only at the end of the file.
  DWORD Read(void* buffer, DWORD size, DWORD* bytesRead);
  // Writes all bytes or fails (ERROR_DISK_FULL when the disk ran out).
  DWORD Write(const void* buffer, DWORD size, DWORD* bytesWritten = nullptr);
  // A position before the start is refused with ERROR_NEGATIVE_SEEK.
  DWORD Seek(int64_t offset, SeekFrom from, uint64_t* newPosition = nullptr);
  DWORD Size(uint64_t& size) const;
  // Sets the file's length (shortens or extends with zeros); the position stays.
  DWORD Truncate(uint64_t length);
  // Forces the written data to the disk.
  DWORD Flush();
  // Closing reports a late write error; closing a closed file succeeds.
  DWORD Close();

  int Descriptor() const { return m_fd; }

 private:
  int m_fd = -1;
};

// Reads a whole file into `bytes` (left empty on failure).
RT_API DWORD ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

// Replaces a file atomically: the bytes go to a temporary file in the same
// folder, which is flushed to disk and renamed over the target. On failure
// the old file is untouched and the temporary file removed. A target that
// exists and is not writable answers ERROR_ACCESS_DENIED; a symbolic link is
// followed, so the file it names is replaced. A new file gets the usual
// permissions, a replaced one keeps its own.
RT_API DWORD WriteFileAtomic(const std::string& path, const void* data, size_t size);
inline DWORD WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes) {
  return WriteFileAtomic(path, bytes.data(), bytes.size());
}
inline DWORD WriteFileAtomic(const std::string& path, const std::string& text) {
  return WriteFileAtomic(path, text.data(), text.size());
}

// Creates a folder with all missing parents; an existing folder is success.
RT_API DWORD CreateDirectories(const std::string& path);
// True for an existing entry that is not a folder.
RT_API bool FileExists(const std::string& path);
RT_API bool DirectoryExists(const std::string& path);
// True when the entry exists and may be changed: the process has write
// access and some write permission bit is set (so that a read-only file
// stays read-only even for the super-user).
RT_API bool IsWritable(const std::string& path);

// The folder part of a path ("." for a bare name).
RT_API std::string ParentDirectory(const std::string& path);

}  // namespace win
