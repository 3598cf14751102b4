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

// Refusals of files that are read in whole: an entry that is not a regular
// file (a FIFO, a device, a socket), which could block a reader for ever or
// never end, and a file larger than the reader's bound.
inline constexpr DWORD kErrorNotRegularFile = 222;  // ERROR_BAD_FILE_TYPE
inline constexpr DWORD kErrorFileTooLarge = 223;    // ERROR_FILE_TOO_LARGE

// The bound of ReadWholeFile when the caller names none.
inline constexpr uint64_t kDefaultReadLimit = uint64_t{1} << 30;

// errno → Win32 error number (ENOENT → ERROR_FILE_NOT_FOUND, EACCES →
// ERROR_ACCESS_DENIED, ENOSPC → ERROR_DISK_FULL, …).
RT_API DWORD Win32ErrorFromErrno(int err);
// The same, refined by the path that failed: ENOENT becomes
// ERROR_PATH_NOT_FOUND when the file's folder does not exist either.
RT_API DWORD Win32ErrorFromErrno(int err, const std::string& path);

enum class FileMode {
  Read,             // existing file, reading
  ReadRegular,      // existing regular file, reading; anything else refused (see below)
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

  // Folders are refused with ERROR_ACCESS_DENIED, as on Windows. With
  // FileMode::ReadRegular the entry is opened without blocking and refused
  // with kErrorNotRegularFile unless it is a regular file (a symbolic link
  // counts as what it names).
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

// Reads a whole regular file into `bytes` (left empty on failure). Other
// entries are refused with kErrorNotRegularFile, a file of more than `limit`
// bytes (also one that grows past it while it is read) with
// kErrorFileTooLarge.
RT_API DWORD ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes,
                           uint64_t limit = kDefaultReadLimit);

// Whether `path` names a regular file of at most `limit` bytes: ERROR_SUCCESS,
// kErrorNotRegularFile, kErrorFileTooLarge or the error of stat. Never blocks,
// whatever the entry is.
RT_API DWORD CheckRegularFile(const std::string& path, uint64_t limit = kDefaultReadLimit);

// A file error for people, as a sentence: "It is not a regular file (a
// FIFO, a device or a socket).", "It is larger than N bytes." for the
// refusals above (N being `limit`), the system's text for the others.
RT_API std::string FileErrorText(DWORD error, uint64_t limit = kDefaultReadLimit);

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
