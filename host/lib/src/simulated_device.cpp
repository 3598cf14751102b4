#include "host/simulated_device.h"

#include <cstring>
#include <ctime>

namespace host {

SimulatedDevice::SimulatedDevice(const Project& project, int64_t deviceId)
    : project_(project), deviceId_(deviceId), memory_(std::make_unique<std::array<uint8_t, kMemorySize>>()) {
  memory_->fill(0);
  project_.DataOf(deviceId);  // throws for a device that does not exist
  ProjectStore& store = project_.Store();
  std::lock_guard lock(store.Mutex());
  Statement q(store, "SELECT memory, restart_count, last_restart FROM device_memory WHERE device_id = ?");
  q.Bind(1, deviceId);
  if (q.Step()) {
    if (q.BlobSize(0) == kMemorySize) std::memcpy(memory_->data(), q.BlobData(0), kMemorySize);
    restarts_ = q.Int(1);
    lastRestart_ = q.IsNull(2) ? std::string() : q.Text(2);
  }
}

void SimulatedDevice::Restart() {
  ++restarts_;
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &tm);
  lastRestart_ = stamp;
}

void SimulatedDevice::Save() {
  ProjectStore& store = project_.Store();
  Transaction tx(store);
  Statement s(store,
              "INSERT OR REPLACE INTO device_memory (device_id, memory, restart_count, last_restart) "
              "VALUES (?, ?, ?, ?)");
  s.Bind(1, deviceId_).BindBlob(2, memory_->data(), kMemorySize).Bind(3, restarts_);
  if (lastRestart_.empty())
    s.BindNull(4);
  else
    s.Bind(4, lastRestart_);
  s.Run();
  tx.Commit();
}

}  // namespace host
