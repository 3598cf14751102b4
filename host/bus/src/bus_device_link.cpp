#include "bus/bus_device_link.h"

namespace bus {

BusDeviceLink::BusDeviceLink(std::unique_ptr<Link> link, uint16_t device, DeviceOptions options)
    : link_(std::move(link)),
      device_(device),
      options_(options),
      connection_(*link_, device, options.timings),
      management_(connection_) {
  link_->SetInterrupt(options_.interrupt);
}

BusDeviceLink::~BusDeviceLink() { connection_.Close(); }

std::string BusDeviceLink::Where() const { return AddressText(device_) + " over " + link_->Name(); }

bool BusDeviceLink::Setup(std::string& error) {
  ++connections_;
  if (!connection_.Open(error)) return false;
  uint16_t mask = 0;
  if (!management_.ReadMaskVersion(mask, error)) {
    connection_.Close();
    return false;
  }
  if (mask != options_.maskVersion) {
    connection_.Close();
    error = "the device " + AddressText(device_) + " has mask version " + Hex(mask, 4).substr(2) + ", not " +
            Hex(options_.maskVersion, 4).substr(2) + ": it is not a device this download is for";
    return false;
  }
  uint8_t level = 0;
  if (!management_.Authorize(options_.key, level, error)) {
    connection_.Close();
    return false;
  }
  if (level > kLowestWriteLevel) {
    connection_.Close();
    error = "the device " + AddressText(device_) + " did not accept the key " + Hex(options_.key, 8) +
            " (access level " + std::to_string(level) + ", writing needs " +
            std::to_string(kLowestWriteLevel) + " or better)";
    return false;
  }
  return true;
}

bool BusDeviceLink::Connect(std::string& error) {
  connection_.Close();
  if (Setup(error)) return true;
  error = "cannot connect to " + Where() + ": " + error;
  return false;
}

bool BusDeviceLink::Disconnect(std::string&) {
  connection_.Close();
  return true;
}

// Opens the connection again when the device has (or is about to have)
// closed it for being idle.
bool BusDeviceLink::Ready(std::string& error) {
  // A sixth of the limit (1 s of 6) before it, the connection is opened again.
  const auto margin = options_.timings.idleLimit / 6;
  if (connection_.IsOpen() && connection_.Idle() + margin < options_.timings.idleLimit) return true;
  if (!connection_.IsOpen()) {
    error = "the connection to " + Where() + " is closed";
    return false;
  }
  connection_.Close();
  ++reconnects_;
  if (Setup(error)) return true;
  error = "cannot connect again to " + Where() + " after a pause: " + error;
  return false;
}

bool BusDeviceLink::WriteMemory(uint16_t address, const uint8_t* data, uint32_t n, std::string& error) {
  return Ready(error) && management_.WriteMemory(address, data, n, error);
}

bool BusDeviceLink::ReadMemory(uint16_t address, uint8_t* data, uint32_t n, std::string& error) {
  return Ready(error) && management_.ReadMemory(address, data, n, error);
}

bool BusDeviceLink::Restart(std::string& error) { return Ready(error) && management_.Restart(error); }

}  // namespace bus
