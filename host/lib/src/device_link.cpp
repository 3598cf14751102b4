#include "host/device_link.h"

#include <cstring>

#include "base/strings.h"

namespace host {

namespace {
constexpr uint32_t kMemorySize = 65536;

bool InMemory(uint16_t address, uint32_t n, std::string& error) {
  if (n == 0 || n > DeviceLink::kMaxTelegramData || address + n > kMemorySize) {
    error = base::Format("the device refused %u bytes at 0x%04X", n, unsigned(address));
    return false;
  }
  return true;
}
}  // namespace

bool MemoryLink::WriteMemory(uint16_t address, const uint8_t* data, uint32_t n, std::string& error) {
  if (!InMemory(address, n, error)) return false;
  std::memcpy(memory_ + address, data, n);
  return true;
}

bool MemoryLink::ReadMemory(uint16_t address, uint8_t* data, uint32_t n, std::string& error) {
  if (!InMemory(address, n, error)) return false;
  std::memcpy(data, memory_ + address, n);
  return true;
}

bool MemoryLink::Restart(std::string&) {
  ++restarts;
  OnRestart();
  return true;
}

bool FailingLink::Pass(std::string& error) {
  if (sent_ >= failAt_) {
    error = base::Format("the device stopped answering at telegram %llu",
                         static_cast<unsigned long long>(sent_ + 1));
    return false;
  }
  ++sent_;
  return true;
}

}  // namespace host
