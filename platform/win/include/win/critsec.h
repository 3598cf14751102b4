#pragma once
// Critical sections as the Win32 ones behave: the owning thread may enter
// again, and must leave as often as it entered.
#include <mutex>

#include "base/types.h"

namespace win {

class CriticalSection {
 public:
  CriticalSection() = default;
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { m_mutex.lock(); }
  void Leave() { m_mutex.unlock(); }
  // TRUE when the section was entered (free, or already owned by this thread).
  BOOL TryEnter() { return m_mutex.try_lock() ? TRUE : FALSE; }

 private:
  std::recursive_mutex m_mutex;
};

// Holds a critical section for one scope.
class CritSecLock {
 public:
  explicit CritSecLock(CriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
  ~CritSecLock() { m_cs.Leave(); }
  CritSecLock(const CritSecLock&) = delete;
  CritSecLock& operator=(const CritSecLock&) = delete;

 private:
  CriticalSection& m_cs;
};

}  // namespace win
