#pragma once
// The process-wide task allocator and movable global memory. Both live in the
// shared runtime, so a block allocated by one module may be freed by another.
#include <cstddef>
#include <memory>

#include "base/export.h"
#include "base/types.h"

// Task allocator: the allocator of buffers handed between callers and callees.
// A request for 0 bytes still yields a distinct block.
RT_API void* CoTaskMemAlloc(size_t cb);
// Null pv allocates; cb 0 frees pv and returns null. On failure pv stays valid.
RT_API void* CoTaskMemRealloc(void* pv, size_t cb);
RT_API void CoTaskMemFree(void* pv);

// Global memory. A handle is opaque: for a fixed block it is the block's
// address, for a movable block a separate token whose data is reached through
// GlobalLock. A movable block of size 0 is "discarded": it has no data.
using HGLOBAL = void*;

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_MODIFY = 0x0080;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// Null when memory runs out. Flags other than those above are ignored.
RT_API HGLOBAL GlobalAlloc(UINT flags, size_t cb);
// Resizes a block; the handle of a movable block stays the same. Growth is
// zero-filled. A locked movable block or a fixed block moves only when flags
// hold GMEM_MOVEABLE (then a fixed block gets a new handle); otherwise only
// shrinking succeeds. Null on failure, the block unchanged.
RT_API HGLOBAL GlobalReAlloc(HGLOBAL h, size_t cb, UINT flags);
// Address of the data; a movable block's lock count rises by one. Null for an
// unknown handle or a discarded block.
RT_API void* GlobalLock(HGLOBAL h);
// TRUE while the block stays locked after this call, FALSE once unlocked.
RT_API BOOL GlobalUnlock(HGLOBAL h);
// Size in bytes; 0 for an unknown handle.
RT_API size_t GlobalSize(HGLOBAL h);
// Current lock count (0 for fixed blocks and unknown handles).
RT_API UINT GlobalLockCount(HGLOBAL h);
// Null on success, h when the handle is unknown.
RT_API HGLOBAL GlobalFree(HGLOBAL h);

namespace com {

struct TaskMemFree {
  void operator()(void* p) const { CoTaskMemFree(p); }
};
// Owner of a task-allocator block.
template <class T>
using TaskMem = std::unique_ptr<T, TaskMemFree>;

// Owner of a global memory handle: frees it on destruction.
class GlobalMem {
 public:
  GlobalMem() = default;
  explicit GlobalMem(HGLOBAL h) : h_(h) {}
  GlobalMem(const GlobalMem&) = delete;
  GlobalMem& operator=(const GlobalMem&) = delete;
  GlobalMem(GlobalMem&& o) noexcept : h_(o.Detach()) {}
  GlobalMem& operator=(GlobalMem&& o) noexcept {
    if (this != &o) Reset(o.Detach());
    return *this;
  }
  ~GlobalMem() { Reset(); }

  HGLOBAL Get() const { return h_; }
  HGLOBAL Detach() {
    HGLOBAL h = h_;
    h_ = nullptr;
    return h;
  }
  void Reset(HGLOBAL h = nullptr) {
    if (h_) GlobalFree(h_);
    h_ = h;
  }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HGLOBAL h_ = nullptr;
};

// Keeps a global block locked for its lifetime.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL h) : h_(h), p_(GlobalLock(h)) {}
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  ~GlobalLockGuard() {
    if (p_) GlobalUnlock(h_);
  }
  void* Get() const { return p_; }
  template <class T>
  T* As() const {
    return static_cast<T*>(p_);
  }

 private:
  HGLOBAL h_;
  void* p_;
};

}  // namespace com
