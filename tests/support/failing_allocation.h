#pragma once
// Allocations that fail on demand, for tests that prove that running out of
// memory is answered and not crashed on. A program linked with the
// dx47x_failing_allocation library replaces the global operator new and
// delete (every form): they forward to malloc and free, and a countdown of
// the calling thread refuses the n-th allocation from the moment it is
// armed and every one after it, until allocations are allowed again. A
// refused allocation throws std::bad_alloc; the nothrow forms return null.
// Shared libraries and loaded modules allocate through the same functions.
#include <cstdint>

namespace testsupport {

// Arms the countdown of this thread: its n-th allocation from now (n >= 1)
// and all later ones fail. n == 0 disarms it.
void FailAllocationsAfter(uint64_t n) noexcept;
// Disarms the countdown of this thread.
void AllowAllocations() noexcept;
// Whether an allocation of this thread was refused since it was last armed.
bool AllocationRefused() noexcept;

// Arms the countdown for the lifetime of the object.
class FailingAllocations {
 public:
  explicit FailingAllocations(uint64_t n) noexcept { FailAllocationsAfter(n); }
  ~FailingAllocations() { AllowAllocations(); }
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
};

// One run of a call with its n-th allocation refused.
template <class Result>
struct AllocationRun {
  uint64_t failingAllocation = 0;  // n, 1-based
  bool refused = false;            // the call reached its n-th allocation
  bool threw = false;              // an exception left the call
  Result result{};
};

struct AllocationSweep {
  uint64_t allocations = 0;  // what the call allocates when nothing is refused
  bool complete = false;     // a run got through before `limit`
};

// Runs `call` once for each allocation it makes: with its first allocation
// refused, then its second, ... until a run makes no more allocations than
// are allowed (at most `limit` runs). Before every run `prepare()` sets the
// scene and after it `check(run)` judges the run, both with allocations
// allowed. An exception that leaves `call` is caught and recorded in the run.
template <class Prepare, class Call, class Check>
AllocationSweep ForEachAllocation(Prepare&& prepare, Call&& call, Check&& check, uint64_t limit = 10000) {
  using Result = decltype(call());
  for (uint64_t n = 1; n <= limit; ++n) {
    prepare();
    AllocationRun<Result> run;
    run.failingAllocation = n;
    {
      FailingAllocations failing(n);
      try {
        run.result = call();
      } catch (...) {
        run.threw = true;
      }
      run.refused = AllocationRefused();
    }
    check(static_cast<const AllocationRun<Result>&>(run));
    if (!run.refused) return {n - 1, true};
  }
  return {limit, false};
}

}  // namespace testsupport
