#pragma once
// Pacing of an emulated TP1 line: one frame at a time, each taking its line
// time (bus::FrameBits at 9600 bit/s). Frames to and from the device wait
// until the line is free, then occupy it.
#include <atomic>
#include <thread>

#include "bus/frame.h"

namespace emulator {

class Tp1Line {
 public:
  explicit Tp1Line(bool paced) : paced_(paced) {}
  // From now on frames take no time (the emulator's SIGUSR1).
  void StopPacing() { paced_ = false; }
  // Returns once a frame with `tpduOctets` has gone over the line.
  void Carry(size_t tpduOctets) {
    if (!paced_) return;
    const auto now = bus::Clock::now();
    freeAt_ = std::max(now, freeAt_) + bus::FrameDuration(tpduOctets);
    std::this_thread::sleep_until(freeAt_);
  }

 private:
  std::atomic<bool> paced_;
  bus::Clock::time_point freeAt_{};
};

}  // namespace emulator
