#pragma once
// The connection to one device over which a download's procedure records
// run. Every call is one telegram exchange (a memory write carries at most
// kMaxTelegramData bytes); a call that fails leaves `error` saying why and
// ends the download, with everything before it done.
#include <cstdint>
#include <string>

namespace host {

class DeviceLink {
 public:
  static constexpr uint32_t kMaxTelegramData = 12;

  virtual ~DeviceLink() = default;
  virtual bool Connect(std::string& error) = 0;
  virtual bool Disconnect(std::string& error) = 0;
  virtual bool WriteMemory(uint16_t address, const uint8_t* data, uint32_t n, std::string& error) = 0;
  virtual bool ReadMemory(uint16_t address, uint8_t* data, uint32_t n, std::string& error) = 0;
  // Restarts the device; the restart ends the connection.
  virtual bool Restart(std::string& error) = 0;
};

// A device that is 64 KiB of memory in this process.
class MemoryLink : public DeviceLink {
 public:
  explicit MemoryLink(uint8_t* memory) : memory_(memory) {}
  bool Connect(std::string&) override { return true; }
  bool Disconnect(std::string&) override { return true; }
  bool WriteMemory(uint16_t address, const uint8_t* data, uint32_t n, std::string& error) override;
  bool ReadMemory(uint16_t address, uint8_t* data, uint32_t n, std::string& error) override;
  bool Restart(std::string&) override;
  int restarts = 0;

 protected:
  virtual void OnRestart() {}

 private:
  uint8_t* memory_;
};

// Passes telegrams on to another link until `failAt` of them went through;
// from then on the device no longer answers. Simulates a bus failure
// between any two telegrams.
class FailingLink : public DeviceLink {
 public:
  FailingLink(DeviceLink& inner, uint64_t failAt) : inner_(inner), failAt_(failAt) {}
  bool Connect(std::string& error) override { return Pass(error) && inner_.Connect(error); }
  bool Disconnect(std::string& error) override { return Pass(error) && inner_.Disconnect(error); }
  bool WriteMemory(uint16_t address, const uint8_t* data, uint32_t n, std::string& error) override {
    return Pass(error) && inner_.WriteMemory(address, data, n, error);
  }
  bool ReadMemory(uint16_t address, uint8_t* data, uint32_t n, std::string& error) override {
    return Pass(error) && inner_.ReadMemory(address, data, n, error);
  }
  bool Restart(std::string& error) override { return Pass(error) && inner_.Restart(error); }
  uint64_t Telegrams() const { return sent_; }

 private:
  bool Pass(std::string& error);
  DeviceLink& inner_;
  uint64_t failAt_;
  uint64_t sent_ = 0;
};

}  // namespace host
