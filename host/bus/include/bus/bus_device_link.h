#pragma once
// The executor's DeviceLink over a real bus: one transport connection to
// one device at a time.
// - Connect: T_Connect, then the mask version is read (it must be the
//   expected one) and the key is given (the level it gives must allow
//   writing memory).
// - Disconnect: T_Disconnect.
// - WriteMemory, ReadMemory: one A_Memory_Write (acknowledged) or one
//   A_Memory_Read and its checked A_Memory_Response.
// - Restart: A_Restart; the device ends the connection.
// A connection that has been idle for almost the device's idle limit is
// opened again (with mask check and key) before the next telegram, since the
// device has closed it or is about to.
#include <atomic>
#include <memory>
#include <string>

#include "bus/link.h"
#include "bus/management.h"
#include "bus/transport.h"
#include "host/device_link.h"

namespace bus {

struct DeviceOptions {
  uint32_t key = 0xFFFFFFFF;
  uint16_t maskVersion = 0x0705;
  TransportTimings timings;
  const std::atomic<bool>* interrupt = nullptr;  // Ctrl-C: calls fail, the connection is closed
};

class BusDeviceLink : public host::DeviceLink {
 public:
  BusDeviceLink(std::unique_ptr<Link> link, uint16_t device, DeviceOptions options = {});
  ~BusDeviceLink() override;

  bool Connect(std::string& error) override;
  bool Disconnect(std::string& error) override;
  bool WriteMemory(uint16_t address, const uint8_t* data, uint32_t n, std::string& error) override;
  bool ReadMemory(uint16_t address, uint8_t* data, uint32_t n, std::string& error) override;
  bool Restart(std::string& error) override;

  // Every frame of every connection so far, by the TP1 line model.
  const LineStats& Line() const { return connection_.Stats(); }
  uint64_t Connections() const { return connections_; }
  uint64_t Reconnects() const { return reconnects_; }
  std::string Name() const { return link_->Name(); }
  uint16_t Device() const { return device_; }

 private:
  bool Ready(std::string& error);
  bool Setup(std::string& error);
  std::string Where() const;

  std::unique_ptr<Link> link_;
  uint16_t device_;
  DeviceOptions options_;
  Connection connection_;
  Management management_;
  uint64_t connections_ = 0;
  uint64_t reconnects_ = 0;
};

}  // namespace bus
