#pragma once
// Byte streams: ISequentialStream and IStream as on Windows, and the stream
// over a global memory block.
#include "base/export.h"
#include "base/hresult.h"
#include "com/memory.h"
#include "com/unknown.h"

union LARGE_INTEGER {
  int64_t QuadPart;
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
};
union ULARGE_INTEGER {
  uint64_t QuadPart;
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
};
static_assert(sizeof(LARGE_INTEGER) == 8 && sizeof(ULARGE_INTEGER) == 8);

struct STATSTG {
  LPOLESTR pwcsName;  // task memory, freed by the caller; null with STATFLAG_NONAME
  DWORD type;
  ULARGE_INTEGER cbSize;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode;
  DWORD grfLocksSupported;
  CLSID clsid;
  DWORD grfStateBits;
  DWORD reserved;
};

constexpr DWORD STGTY_STORAGE = 1;
constexpr DWORD STGTY_STREAM = 2;
constexpr DWORD STGTY_LOCKBYTES = 3;
constexpr DWORD STGTY_PROPERTY = 4;

constexpr DWORD STATFLAG_DEFAULT = 0;
constexpr DWORD STATFLAG_NONAME = 1;

constexpr DWORD STREAM_SEEK_SET = 0;
constexpr DWORD STREAM_SEEK_CUR = 1;
constexpr DWORD STREAM_SEEK_END = 2;

constexpr DWORD STGC_DEFAULT = 0;
constexpr DWORD LOCK_WRITE = 1;
constexpr DWORD LOCK_EXCLUSIVE = 2;
constexpr DWORD LOCK_ONLYONCE = 4;

constexpr DWORD STGM_READ = 0x0;
constexpr DWORD STGM_WRITE = 0x1;
constexpr DWORD STGM_READWRITE = 0x2;

struct ISequentialStream : IUnknown {
  virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
  virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
  static constexpr IID iid = MakeGuid("0C733A30-2A1C-11CE-ADE5-00AA0044773A");
};

struct IStream : ISequentialStream {
  virtual HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER libNewSize) = 0;
  virtual HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                         ULARGE_INTEGER* pcbWritten) = 0;
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
  virtual HRESULT Clone(IStream** ppstm) = 0;
  static constexpr IID iid = MakeGuid("0000000C-0000-0000-C000-000000000046");
};
using LPSTREAM = IStream*;

// A stream over a global memory block, positioned at 0. With a null hGlobal a
// new empty movable block is allocated; otherwise the stream's size is the
// block's size. Writing past the end grows the block (zero-filled gaps),
// reading past the end returns S_OK with fewer bytes, seeking before 0 fails
// with STG_E_INVALIDFUNCTION. Clones share the block, each with its own
// position. With fDeleteOnRelease the block is freed when the last stream on
// it is released. Sizes are limited to 4 GiB - 1.
RT_API HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, IStream** ppstm);
// The block under a stream made by CreateStreamOnHGlobal; E_INVALIDARG for
// any other stream.
RT_API HRESULT GetHGlobalFromStream(IStream* pstm, HGLOBAL* phglobal);

namespace com {
// Small wrappers that take and return plain integers.
inline LARGE_INTEGER LargeInteger(int64_t v) {
  LARGE_INTEGER li;
  li.QuadPart = v;
  return li;
}
inline ULARGE_INTEGER ULargeInteger(uint64_t v) {
  ULARGE_INTEGER li;
  li.QuadPart = v;
  return li;
}
}  // namespace com
