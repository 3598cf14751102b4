#pragma once
// The simulated bus device behind a project device: 64 KiB of memory, a
// restart counter and the time of the last restart, kept in the project file.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "host/project.h"

namespace host {

class SimulatedDevice {
 public:
  static constexpr size_t kMemorySize = 65536;

  // Loads the device's state; a device never downloaded has zero memory.
  SimulatedDevice(const Project& project, int64_t deviceId);

  uint8_t* Memory() { return memory_->data(); }
  const uint8_t* Memory() const { return memory_->data(); }
  int64_t RestartCount() const { return restarts_; }
  const std::string& LastRestart() const { return lastRestart_; }

  void Restart();
  // Writes the state back in one transaction.
  void Save();

 private:
  Project project_;
  int64_t deviceId_;
  std::unique_ptr<std::array<uint8_t, kMemorySize>> memory_;
  int64_t restarts_ = 0;
  std::string lastRestart_;
};

}  // namespace host
