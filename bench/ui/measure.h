#pragma once
// Timing for the editor benchmarks.
#include <algorithm>
#include <chrono>
#include <functional>

namespace bench {

// Best of five runs of `rounds` calls, in milliseconds per call.
inline double Measure(int rounds, const std::function<void()>& call) {
  using Clock = std::chrono::steady_clock;
  double best = 1e9;
  for (int run = 0; run < 5; ++run) {
    auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) call();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count() / rounds);
  }
  return best;
}

}  // namespace bench
