// The replaced global allocation functions of the programs that link this
// object, and the countdown that makes them fail (failing_allocation.h).
//
// Every form forwards to malloc/aligned_alloc and free, so that a sanitizer
// build keeps checking the memory behind them. The targets hide their symbols
// by default; these carry default visibility so that the program exports
// them and the shared libraries and loaded modules bind to them as well.
#include "failing_allocation.h"

#include <cstddef>
#include <cstdlib>
#include <new>

#define DX47X_REPLACED_ALLOCATION __attribute__((visibility("default")))

namespace {

// Trivial thread-local state: usable from the first allocation of a thread
// to its last, without construction or destruction.
struct Countdown {
  uint64_t left = 0;  // 0: disarmed; 1: this and every later allocation fails
  bool refused = false;
};
constinit thread_local Countdown countdown;

// Whether the allocation about to be made is refused.
bool Refuse() noexcept {
  Countdown& c = countdown;
  if (c.left == 0) return false;
  if (c.left > 1) {
    --c.left;
    return false;
  }
  c.refused = true;
  return true;
}

// malloc, or aligned_alloc for an extended alignment, with the new handler
// called as long as it can make room; null when there is none.
void* Obtain(std::size_t size, std::size_t alignment) {
  if (size == 0) size = 1;
  for (;;) {
    void* p = nullptr;
    if (alignment == 0) {
      p = std::malloc(size);
    } else {
      // aligned_alloc wants a size that is a multiple of the alignment.
      const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
      if (rounded < size) return nullptr;
      p = std::aligned_alloc(alignment, rounded);
    }
    if (p) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) return nullptr;
    handler();  // frees memory or throws
  }
}

void* Allocate(std::size_t size, std::size_t alignment) {
  if (Refuse()) throw std::bad_alloc();
  void* p = Obtain(size, alignment);
  if (!p) throw std::bad_alloc();
  return p;
}

void* AllocateOrNull(std::size_t size, std::size_t alignment) noexcept {
  if (Refuse()) return nullptr;
  try {
    return Obtain(size, alignment);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

namespace testsupport {

void FailAllocationsAfter(uint64_t n) noexcept { countdown = Countdown{n, false}; }

void AllowAllocations() noexcept { countdown.left = 0; }

bool AllocationRefused() noexcept { return countdown.refused; }

}  // namespace testsupport

// --- allocation

DX47X_REPLACED_ALLOCATION void* operator new(std::size_t size) { return Allocate(size, 0); }
DX47X_REPLACED_ALLOCATION void* operator new[](std::size_t size) { return Allocate(size, 0); }
DX47X_REPLACED_ALLOCATION void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, 0);
}
DX47X_REPLACED_ALLOCATION void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, 0);
}
DX47X_REPLACED_ALLOCATION void* operator new(std::size_t size, std::align_val_t alignment) {
  return Allocate(size, static_cast<std::size_t>(alignment));
}
DX47X_REPLACED_ALLOCATION void* operator new[](std::size_t size, std::align_val_t alignment) {
  return Allocate(size, static_cast<std::size_t>(alignment));
}
DX47X_REPLACED_ALLOCATION void* operator new(std::size_t size, std::align_val_t alignment,
                                             const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, static_cast<std::size_t>(alignment));
}
DX47X_REPLACED_ALLOCATION void* operator new[](std::size_t size, std::align_val_t alignment,
                                               const std::nothrow_t&) noexcept {
  return AllocateOrNull(size, static_cast<std::size_t>(alignment));
}

// --- deallocation: everything came from malloc or aligned_alloc

DX47X_REPLACED_ALLOCATION void operator delete(void* p) noexcept { std::free(p); }
DX47X_REPLACED_ALLOCATION void operator delete[](void* p) noexcept { std::free(p); }
DX47X_REPLACED_ALLOCATION void operator delete(void* p, std::size_t) noexcept { std::free(p); }
DX47X_REPLACED_ALLOCATION void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
DX47X_REPLACED_ALLOCATION void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
DX47X_REPLACED_ALLOCATION void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
DX47X_REPLACED_ALLOCATION void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
DX47X_REPLACED_ALLOCATION void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
DX47X_REPLACED_ALLOCATION void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
DX47X_REPLACED_ALLOCATION void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
DX47X_REPLACED_ALLOCATION void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
DX47X_REPLACED_ALLOCATION void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
