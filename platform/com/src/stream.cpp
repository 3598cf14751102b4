#include "com/stream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "com/object.h"

namespace {

constexpr uint64_t kMaxSize = 0xFFFFFFFFu;

// The block under a stream and its clones. The block's own size is the
// stream's size, so the two can never disagree.
struct SharedBlock {
  std::mutex lock;
  HGLOBAL h;
  bool deleteOnRelease;

  SharedBlock(HGLOBAL block, bool del) : h(block), deleteOnRelease(del) {}
  SharedBlock(const SharedBlock&) = delete;
  SharedBlock& operator=(const SharedBlock&) = delete;
  ~SharedBlock() {
    if (deleteOnRelease) GlobalFree(h);
  }

  // Resizes the block (the caller holds `lock`). A fixed block may come back
  // under a new handle.
  bool Resize(uint64_t size) {
    HGLOBAL n = GlobalReAlloc(h, size_t(size), GMEM_MOVEABLE);
    if (!n) return false;
    h = n;
    return true;
  }
};

class HGlobalStream final : public IStream {
 public:
  HGlobalStream(std::shared_ptr<SharedBlock> block, uint64_t pos) : block_(std::move(block)), pos_(pos) {}

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IUnknown::iid || riid == ISequentialStream::iid || riid == IStream::iid) {
      *ppv = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override {
    ULONG n = refs_.Drop();
    if (n == 0) delete this;
    return n;
  }

  HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    std::lock_guard g(block_->lock);
    uint64_t size = GlobalSize(block_->h);
    ULONG n = pos_ >= size ? 0 : ULONG(std::min<uint64_t>(cb, size - pos_));
    if (n) {
      com::GlobalLockGuard data(block_->h);
      if (!data.Get()) return STG_E_INVALIDFUNCTION;
      std::memcpy(pv, data.As<char>() + pos_, n);
    }
    pos_ += n;
    if (pcbRead) *pcbRead = n;
    return S_OK;
  }

  HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (cb == 0) return S_OK;
    if (!pv) return STG_E_INVALIDPOINTER;
    std::lock_guard g(block_->lock);
    uint64_t end = pos_ + cb;
    if (pos_ > kMaxSize || end > kMaxSize) return STG_E_MEDIUMFULL;
    if (end > GlobalSize(block_->h) && !block_->Resize(end)) return STG_E_MEDIUMFULL;
    com::GlobalLockGuard data(block_->h);
    if (!data.Get()) return STG_E_MEDIUMFULL;
    std::memcpy(data.As<char>() + pos_, pv, cb);
    pos_ = end;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
  }

  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) override {
    std::lock_guard g(block_->lock);
    int64_t base;
    switch (origin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = int64_t(pos_); break;
      case STREAM_SEEK_END: base = int64_t(GlobalSize(block_->h)); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    int64_t target;
    if (__builtin_add_overflow(base, move.QuadPart, &target) || target < 0) return STG_E_INVALIDFUNCTION;
    pos_ = uint64_t(target);
    if (newPos) newPos->QuadPart = pos_;
    return S_OK;
  }

  HRESULT SetSize(ULARGE_INTEGER newSize) override {
    if (newSize.QuadPart > kMaxSize) return STG_E_INVALIDFUNCTION;
    std::lock_guard g(block_->lock);
    if (newSize.QuadPart == GlobalSize(block_->h)) return S_OK;
    return block_->Resize(newSize.QuadPart) ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                 ULARGE_INTEGER* pcbWritten) override {
    if (!pstm) return STG_E_INVALIDPOINTER;
    uint64_t totalRead = 0, totalWritten = 0;
    HRESULT hr = S_OK;
    char buf[16384];
    // The lock is not held across the target's Write: it may be a clone.
    while (totalRead < cb.QuadPart) {
      ULONG want = ULONG(std::min<uint64_t>(sizeof buf, cb.QuadPart - totalRead));
      ULONG got = 0, put = 0;
      hr = Read(buf, want, &got);
      if (FAILED(hr) || got == 0) break;
      totalRead += got;
      hr = pstm->Write(buf, got, &put);
      totalWritten += put;
      if (FAILED(hr)) break;
      if (put < got) {
        hr = STG_E_MEDIUMFULL;
        break;
      }
    }
    if (pcbRead) pcbRead->QuadPart = totalRead;
    if (pcbWritten) pcbWritten->QuadPart = totalWritten;
    return hr;
  }

  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

  HRESULT Stat(STATSTG* stat, DWORD) override {
    if (!stat) return STG_E_INVALIDPOINTER;
    std::lock_guard g(block_->lock);
    std::memset(stat, 0, sizeof *stat);
    stat->pwcsName = nullptr;  // a memory stream has no name
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = GlobalSize(block_->h);
    stat->grfMode = STGM_READWRITE;
    return S_OK;
  }

  HRESULT Clone(IStream** ppstm) override {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    uint64_t pos;
    {
      std::lock_guard g(block_->lock);
      pos = pos_;
    }
    auto* clone = new (std::nothrow) HGlobalStream(block_, pos);
    if (!clone) return E_OUTOFMEMORY;
    *ppstm = clone;
    return S_OK;
  }

  HGLOBAL Handle() {
    std::lock_guard g(block_->lock);
    return block_->h;
  }

 private:
  ~HGlobalStream() = default;

  com::RefCount refs_{1};  // the creator holds the first reference
  std::shared_ptr<SharedBlock> block_;
  uint64_t pos_;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, IStream** ppstm) {
  if (!ppstm) return E_INVALIDARG;
  *ppstm = nullptr;
  com::GlobalMem owned;  // a block allocated here, freed again on failure
  if (!hGlobal) {
    owned.Reset(GlobalAlloc(GMEM_MOVEABLE, 0));
    if (!owned) return E_OUTOFMEMORY;
    hGlobal = owned.Get();
  }
  std::shared_ptr<SharedBlock> block;
  try {
    block = std::make_shared<SharedBlock>(hGlobal, false);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  auto* stream = new (std::nothrow) HGlobalStream(block, 0);
  if (!stream) return E_OUTOFMEMORY;
  block->deleteOnRelease = fDeleteOnRelease != FALSE;
  owned.Detach();
  *ppstm = stream;
  return S_OK;
}

HRESULT GetHGlobalFromStream(IStream* pstm, HGLOBAL* phglobal) {
  if (!pstm || !phglobal) return E_INVALIDARG;
  auto* stream = dynamic_cast<HGlobalStream*>(pstm);
  if (!stream) return E_INVALIDARG;
  *phglobal = stream->Handle();
  return S_OK;
}
