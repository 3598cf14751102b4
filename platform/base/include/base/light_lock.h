#pragma once
// A plain (not recursive) lock for short sections that are seldom contended,
// such as one COM call of an object that a single client drives: taking and
// releasing a free lock is one inline atomic operation each. A thread that
// finds it taken sleeps until it is released; nobody spins.
//
// State: 0 free, 1 taken, 2 taken and perhaps waited for. Only a release
// that finds 2 wakes a sleeper.
#include <atomic>
#include <cstdint>

namespace base {

class LightLock {
 public:
  LightLock() = default;
  LightLock(const LightLock&) = delete;
  LightLock& operator=(const LightLock&) = delete;

  void lock() noexcept {
    uint32_t free = 0;
    if (!m_state.compare_exchange_strong(free, 1, std::memory_order_acquire, std::memory_order_relaxed))
      LockContended();
  }
  void unlock() noexcept {
    if (m_state.exchange(0, std::memory_order_release) == 2) m_state.notify_one();
  }

 private:
  void LockContended() noexcept {
    while (m_state.exchange(2, std::memory_order_acquire) != 0) m_state.wait(2, std::memory_order_relaxed);
  }

  std::atomic<uint32_t> m_state{0};
};

}  // namespace base
