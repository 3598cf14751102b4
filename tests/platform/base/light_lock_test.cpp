#include "base/light_lock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Threads that contend all the time: every increment is seen, so the lock
// excludes, and every sleeper is woken, or the joins would never return.
TEST(LightLockTest, SerialisesContendingThreadsAndWakesEverySleeper) {
  base::LightLock lock;
  uint64_t counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 50000; ++i) {
        std::lock_guard guard(lock);
        uint64_t seen = counter;
        if (i % 1000 == 0) std::this_thread::yield();  // hold it a little longer now and then
        counter = seen + 1;
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(counter, 200000u);
}

TEST(LightLockTest, AWaiterGetsTheLockOnlyAfterItsRelease) {
  base::LightLock lock;
  std::atomic<bool> released{false}, entered{false};
  lock.lock();
  std::thread waiter([&] {
    std::lock_guard guard(lock);
    entered = true;
    EXPECT_TRUE(released.load());
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(entered.load());
  released = true;
  lock.unlock();
  waiter.join();
  EXPECT_TRUE(entered.load());
}

}  // namespace
