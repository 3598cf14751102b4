#include "gfx/png.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <vector>

#include "base/byteorder.h"
#include "base/hresult.h"

namespace gfx {
namespace {

HRESULT FromErrno(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS: return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case ENOSPC:
    case EDQUOT: return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case ENAMETOOLONG: return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    default: return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
  }
}

void AppendChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  uint8_t length[4];
  base::WriteBE32(length, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), length, length + 4);
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
  uint8_t crcBytes[4];
  base::WriteBE32(crcBytes, static_cast<uint32_t>(crc));
  out.insert(out.end(), crcBytes, crcBytes + 4);
}

// The whole PNG file in memory.
bool EncodePng(const Bitmap& bitmap, std::vector<uint8_t>& out) {
  const size_t stride = 1 + 3 * size_t(bitmap.width());
  std::vector<uint8_t> raw(stride * size_t(bitmap.height()));
  for (int y = 0; y < bitmap.height(); ++y) {
    uint8_t* p = raw.data() + stride * size_t(y);
    *p++ = 0;  // filter type None
    const Color* row = bitmap.Row(y);
    for (int x = 0; x < bitmap.width(); ++x) {
      *p++ = RedOf(row[x]);
      *p++ = GreenOf(row[x]);
      *p++ = BlueOf(row[x]);
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
    return false;
  packed.resize(packedSize);

  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.assign(kSignature, kSignature + 8);
  std::vector<uint8_t> header(13);
  base::WriteBE32(&header[0], static_cast<uint32_t>(bitmap.width()));
  base::WriteBE32(&header[4], static_cast<uint32_t>(bitmap.height()));
  header[8] = 8;  // bit depth
  header[9] = 2;  // colour type RGB
  AppendChunk(out, "IHDR", header);
  AppendChunk(out, "IDAT", packed);
  AppendChunk(out, "IEND", {});
  return true;
}

}  // namespace

HRESULT SavePng(const Bitmap& bitmap, const std::string& path) {
  if (bitmap.empty() || path.empty()) return E_INVALIDARG;
  std::vector<uint8_t> bytes;
  if (!EncodePng(bitmap, bytes)) return E_OUTOFMEMORY;

  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return FromErrno(errno);
  int error = 0;
  if (::fchmod(fd, 0644) != 0) error = errno;
  for (size_t done = 0; error == 0 && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      error = n < 0 ? errno : EIO;
    else
      done += size_t(n);
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return FromErrno(error);
  }
  return S_OK;
}

}  // namespace gfx
