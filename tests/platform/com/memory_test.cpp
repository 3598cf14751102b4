#include "com/memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TaskMemory, AllocReallocFree) {
  void* p = CoTaskMemAlloc(0);
  EXPECT_NE(p, nullptr);  // a zero-byte block is still a block
  p = CoTaskMemRealloc(p, 100);
  ASSERT_NE(p, nullptr);
  std::memset(p, 1, 100);
  EXPECT_EQ(CoTaskMemRealloc(p, 0), nullptr);  // frees
  com::TaskMem<char> owned(static_cast<char*>(CoTaskMemRealloc(nullptr, 8)));
  EXPECT_NE(owned.get(), nullptr);
  CoTaskMemFree(nullptr);
}

TEST(GlobalMemory, MovableBlockGrowsZeroFilledUnderOneHandle) {
  com::GlobalMem h(GlobalAlloc(GMEM_MOVEABLE, 10));
  ASSERT_TRUE(h);
  EXPECT_EQ(GlobalSize(h.Get()), 10u);
  {
    com::GlobalLockGuard lock(h.Get());
    ASSERT_NE(lock.Get(), nullptr);
    EXPECT_EQ(GlobalLockCount(h.Get()), 1u);
    std::memset(lock.Get(), 0x55, 10);
  }
  EXPECT_EQ(GlobalLockCount(h.Get()), 0u);
  // Grows in 4096-byte steps as a procedure buffer does.
  ASSERT_EQ(GlobalReAlloc(h.Get(), 4096, GMEM_MOVEABLE | GMEM_ZEROINIT), h.Get());
  ASSERT_EQ(GlobalReAlloc(h.Get(), 8192, GMEM_MOVEABLE | GMEM_ZEROINIT), h.Get());
  EXPECT_EQ(GlobalSize(h.Get()), 8192u);
  com::GlobalLockGuard lock(h.Get());
  const auto* p = lock.As<uint8_t>();
  EXPECT_EQ(p[9], 0x55);
  for (size_t i = 10; i < 8192; ++i) ASSERT_EQ(p[i], 0) << i;
}

TEST(GlobalMemory, LockCountsAndLockedBlocksDoNotMove) {
  HGLOBAL h = GlobalAlloc(GHND, 16);
  void* p1 = GlobalLock(h);
  void* p2 = GlobalLock(h);
  EXPECT_EQ(p1, p2);
  EXPECT_EQ(GlobalLockCount(h), 2u);
  EXPECT_EQ(GlobalReAlloc(h, 1 << 20, 0), nullptr);  // locked: may not move
  EXPECT_EQ(GlobalSize(h), 16u);
  EXPECT_EQ(GlobalReAlloc(h, 8, 0), h);  // shrinking in place is fine
  EXPECT_TRUE(GlobalUnlock(h));
  EXPECT_FALSE(GlobalUnlock(h));
  EXPECT_FALSE(GlobalUnlock(h));  // not locked any more
  EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalFree(h), h);  // unknown handle
}

TEST(GlobalMemory, EmptyMovableAndFixedBlocks) {
  HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(GlobalLock(empty), nullptr);  // no data yet
  ASSERT_EQ(GlobalReAlloc(empty, 3, GMEM_MOVEABLE), empty);
  EXPECT_NE(GlobalLock(empty), nullptr);
  GlobalUnlock(empty);
  GlobalFree(empty);

  HGLOBAL fixed = GlobalAlloc(GPTR, 4);
  EXPECT_EQ(GlobalLock(fixed), fixed);  // a fixed block's handle is its address
  EXPECT_EQ(GlobalReAlloc(fixed, 64, 0), nullptr);
  HGLOBAL moved = GlobalReAlloc(fixed, 64, GMEM_MOVEABLE);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(GlobalSize(moved), 64u);
  EXPECT_EQ(GlobalFree(moved), nullptr);
}

}  // namespace
