#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "win/critsec.h"

namespace {

TEST(CriticalSectionTest, OwnerReentersOthersWait) {
  win::CriticalSection cs;
  cs.Enter();
  EXPECT_EQ(cs.TryEnter(), TRUE);  // the owner enters again
  {
    win::CritSecLock lock(cs);
    BOOL other = TRUE;
    std::thread([&] { other = cs.TryEnter(); }).join();
    EXPECT_EQ(other, FALSE);
  }
  cs.Leave();
  cs.Leave();
  BOOL other = FALSE;
  std::thread([&] {
    other = cs.TryEnter();
    if (other) cs.Leave();
  }).join();
  EXPECT_EQ(other, TRUE);
}

TEST(CriticalSectionTest, SerialisesThreads) {
  win::CriticalSection cs;
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        win::CritSecLock outer(cs);
        win::CritSecLock inner(cs);
        ++counter;
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(counter, 40000);
}

}  // namespace
