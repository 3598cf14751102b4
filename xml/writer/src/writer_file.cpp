// CWriter: files, buffering and directories.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <climits>
#include <cstdlib>
#include <algorithm>

#include "xmlweave/writer.h"

namespace xmlweave {

CWriter::CWriter() : CWriter(TraceChannel("CWriter")) {}
CWriter::CWriter(TraceChannel channel) : m_trace(std::move(channel)) {}
CWriter::~CWriter() { Close(); }

// Opens a temporary file in the target's folder, with the permissions the
// target has (or a new file's), refusing targets that could not be written.
HRESULT CWriter::OpenTemporary(DWORD& err) {
  err = ERROR_SUCCESS;
  std::string target = m_target;
  char resolved[PATH_MAX];
  struct stat st{};
  bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && ::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
      ::realpath(target.c_str(), resolved)) {
    target = resolved;  // replace the file a link names, not the link
    ::stat(target.c_str(), &st);
  }
  if (exists && (S_ISDIR(st.st_mode) || !win::IsWritable(target))) {
    err = ERROR_ACCESS_DENIED;
    return HRESULT_FROM_WIN32(err);
  }
  std::string pattern = target + ".~XXXXXX";
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    int e = errno;
    err = win::Win32ErrorFromErrno(e, target);
    if (e == ENOENT) err = ERROR_PATH_NOT_FOUND;
    return HRESULT_FROM_WIN32(err);
  }
  if (exists) {
    ::fchmod(fd, st.st_mode & 07777);
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  ::close(fd);
  err = m_file.Open(pattern, win::FileMode::WriteCreate);
  if (err != ERROR_SUCCESS) {
    ::unlink(pattern.c_str());
    return HRESULT_FROM_WIN32(err);
  }
  m_temporary = pattern;
  m_target = target;
  return S_OK;
}

HRESULT CWriter::CreateFile(const std::string& path, bool tabs, bool lineEnds) {
  m_tabs = tabs;
  m_lineEnds = lineEnds;
  if (path.empty()) {
    XW_TRACE_ERROR(m_trace) << "CreateFile: file name is empty";
    return E_INVALIDARG;
  }
  Close();
  m_target = path;
  m_writeError = S_OK;
  if (!m_buf) m_buf = std::make_unique<char[]>(kBufferSize);
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
  XW_TRACE_ERROR(m_trace) << "Write failed with GetLastError = " << uint32_t(err);
  HRESULT hr = HRESULT_FROM_WIN32(err);
  if (SUCCEEDED(m_writeError)) m_writeError = hr;
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

HRESULT CWriter::EndWrite() {
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

HRESULT CWriter::AppendEncoded(std::string_view text) {
  m_scratch.clear();
  AppendXmlText(m_scratch, text);
  return Append(m_scratch);
}

HRESULT CWriter::Close() {
  if (!m_file.IsOpen()) return S_OK;
  std::string end = "</" + m_root + ">";
  HRESULT hr = Write(end, true);
  Flush();
  DWORD err = m_file.Close();
  if (err != ERROR_SUCCESS && SUCCEEDED(m_writeError)) m_writeError = HRESULT_FROM_WIN32(err);
  if (FAILED(m_writeError)) {
    // The target keeps what it held; the failed document is dropped.
    ::unlink(m_temporary.c_str());
    if (SUCCEEDED(hr)) hr = m_writeError;
  } else if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
    DWORD e = win::Win32ErrorFromErrno(errno, m_target);
    XW_TRACE_ERROR(m_trace) << "Write failed with GetLastError = " << uint32_t(e);
    ::unlink(m_temporary.c_str());
    if (SUCCEEDED(hr)) hr = HRESULT_FROM_WIN32(e);
  }
  m_temporary.clear();
  m_writeError = S_OK;
  return hr;
}

HRESULT CWriter::CreatePathDirectories(const std::string& path) {
  if (path.empty()) return E_INVALIDARG;
  auto next = [&path](size_t from) { return path.find_first_of("\\/", from); };
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
