#include "com/memory.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

void* CoTaskMemAlloc(size_t cb) { return std::malloc(cb ? cb : 1); }

void* CoTaskMemRealloc(void* pv, size_t cb) {
  if (!pv) return CoTaskMemAlloc(cb);
  if (cb == 0) {
    std::free(pv);
    return nullptr;
  }
  return std::realloc(pv, cb);
}

void CoTaskMemFree(void* pv) { std::free(pv); }

namespace {

// One global block. A fixed block is keyed by its data address, a movable
// one by the address of its Block, which never changes while data moves.
struct Block {
  void* data = nullptr;
  size_t size = 0;
  UINT locks = 0;
  bool movable = false;
};

struct Registry {
  std::mutex lock;
  std::unordered_map<HGLOBAL, std::unique_ptr<Block>> blocks;

  Block* Find(HGLOBAL h) {
    auto it = blocks.find(h);
    return it == blocks.end() ? nullptr : it->second.get();
  }
};

// Built in static storage and never destroyed: blocks may be freed by other
// static destructors after this library's own have run.
Registry& Blocks() {
  alignas(Registry) static unsigned char storage[sizeof(Registry)];
  static Registry* r = ::new (storage) Registry;
  return *r;
}

// Grows or shrinks b's data to cb bytes, zero-filling the growth.
bool Resize(Block& b, size_t cb) {
  if (cb == 0) {
    std::free(b.data);
    b.data = nullptr;
  } else {
    void* p = std::realloc(b.data, cb);
    if (!p) return false;
    b.data = p;
    if (cb > b.size) std::memset(static_cast<char*>(p) + b.size, 0, cb - b.size);
  }
  b.size = cb;
  return true;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t cb) {
  try {
    auto b = std::make_unique<Block>();
    b->movable = (flags & GMEM_MOVEABLE) != 0;
    // Data is always zero-filled: reading a new block never shows stale bytes.
    if (!b->movable || cb > 0) {
      b->data = std::calloc(cb ? cb : 1, 1);
      if (!b->data) return nullptr;
      b->size = cb;
    }
    HGLOBAL h = b->movable ? static_cast<HGLOBAL>(b.get()) : b->data;
    Registry& r = Blocks();
    std::lock_guard g(r.lock);
    void* data = b->data;
    try {
      r.blocks.emplace(h, std::move(b));
    } catch (...) {
      std::free(data);
      return nullptr;
    }
    return h;
  } catch (...) {
    return nullptr;  // out of memory for the bookkeeping
  }
}

HGLOBAL GlobalReAlloc(HGLOBAL h, size_t cb, UINT flags) {
  Registry& r = Blocks();
  std::lock_guard g(r.lock);
  Block* b = r.Find(h);
  if (!b) return nullptr;
  if (flags & GMEM_MODIFY) return h;  // attribute changes only; none are kept
  if (b->movable) {
    if (b->locks > 0 && !(flags & GMEM_MOVEABLE)) {
      // A locked block must not move: only shrink it in place.
      if (cb > b->size || cb == 0) return nullptr;
      b->size = cb;
      return h;
    }
    if (cb == 0 && b->locks > 0) return nullptr;
    return Resize(*b, cb) ? h : nullptr;
  }
  if (cb <= b->size) {
    b->size = cb;  // a fixed block shrinks in place and keeps its address
    return h;
  }
  if (!(flags & GMEM_MOVEABLE)) return nullptr;
  void* p = std::calloc(cb, 1);
  if (!p) return nullptr;
  std::memcpy(p, b->data, b->size);
  auto node = r.blocks.extract(h);
  std::free(b->data);
  b->data = p;
  b->size = cb;
  node.key() = p;
  r.blocks.insert(std::move(node));
  return p;
}

void* GlobalLock(HGLOBAL h) {
  Registry& r = Blocks();
  std::lock_guard g(r.lock);
  Block* b = r.Find(h);
  if (!b || !b->data) return nullptr;
  if (b->movable) ++b->locks;
  return b->data;
}

BOOL GlobalUnlock(HGLOBAL h) {
  Registry& r = Blocks();
  std::lock_guard g(r.lock);
  Block* b = r.Find(h);
  if (!b || b->locks == 0) return FALSE;
  return --b->locks > 0 ? TRUE : FALSE;
}

size_t GlobalSize(HGLOBAL h) {
  Registry& r = Blocks();
  std::lock_guard g(r.lock);
  Block* b = r.Find(h);
  return b ? b->size : 0;
}

UINT GlobalLockCount(HGLOBAL h) {
  Registry& r = Blocks();
  std::lock_guard g(r.lock);
  Block* b = r.Find(h);
  return b ? b->locks : 0;
}

HGLOBAL GlobalFree(HGLOBAL h) {
  Registry& r = Blocks();
  std::lock_guard g(r.lock);
  auto it = r.blocks.find(h);
  if (it == r.blocks.end()) return h;
  std::free(it->second->data);
  r.blocks.erase(it);
  return nullptr;
}
