#pragma once
// One emulated bus device as its stack behaves towards a host: 64 KiB of
// memory, a mask version, an authorisation key, a restart counter, and the
// device side of the connection-oriented transport layer:
// - T_Connect opens a connection (a second host meanwhile gets T_Disconnect),
//   T_Disconnect closes it; the device closes it itself after 6 s idle;
// - each data frame of the expected sequence number is acknowledged and
//   handled, a repetition of the previous one acknowledged again and
//   dropped, any other number refused with T_NAK;
// - its own answers are repeated after 3 s without acknowledgement (at most
//   3 times, then it disconnects); a T_NAK repeats at once; a wrong-sequence
//   acknowledgement ends the connection.
// Faults can be injected at a given data frame or memory write.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

#include "bus/frame.h"
#include "bus/transport.h"

namespace emulator {

struct Faults {
  uint64_t dropAck = 0;          // the Nth data frame (1-based) is handled but not acknowledged
  uint64_t nak = 0;              // the Nth data frame is refused with T_NAK
  uint64_t disconnectAfter = 0;  // after the Nth data frame the device disconnects
  uint64_t corruptWrite = 0;     // the Nth memory write stores its first byte inverted
  bool refuseRead = false;       // every memory read is answered with length 0
};

struct DeviceSettings {
  uint16_t address = 0x1105;
  uint16_t maskVersion = 0x0705;
  uint32_t key = 0xFFFFFFFF;
  Faults faults;
  bus::TransportTimings timings;
};

struct DeviceCounters {
  uint64_t connects = 0;
  uint64_t dataFrames = 0;  // new data frames of the expected sequence number
  uint64_t duplicates = 0;
  uint64_t naksSent = 0;
  uint64_t acksDropped = 0;
  uint64_t memoryWrites = 0;
  uint64_t memoryReads = 0;
  uint64_t repetitions = 0;  // of the device's own answers
  uint64_t restarts = 0;
  uint64_t idleDisconnects = 0;
  uint64_t disconnectsSent = 0;
  uint64_t disconnectsReceived = 0;
};

class EmulatedDevice {
 public:
  static constexpr size_t kMemorySize = 65536;
  using Output = std::function<void(uint16_t destination, const bus::Bytes& tpdu)>;

  EmulatedDevice(const DeviceSettings& settings, Output output);

  // A frame addressed to this device.
  void Receive(uint16_t source, const bus::Bytes& tpdu);
  // Runs the timers that are due (repetitions, the idle disconnect).
  void Tick();
  // When Tick has something to do next (max() when nothing is pending).
  bus::Clock::time_point NextTimer() const;

  uint8_t* Memory() { return memory_->data(); }
  const DeviceCounters& Counters() const { return counters_; }
  bool Connected() const { return open_; }
  const DeviceSettings& Settings() const { return settings_; }

 private:
  void Send(uint16_t destination, const bus::Bytes& tpdu);
  void Open(uint16_t peer);
  void Disconnect();  // sends T_Disconnect and closes
  void Answer(bus::Bytes apdu);
  void SendPending();
  void Handle(const bus::Bytes& tpdu);

  DeviceSettings settings_;
  Output output_;
  std::unique_ptr<std::array<uint8_t, kMemorySize>> memory_;
  DeviceCounters counters_;
  bool open_ = false;
  uint16_t peer_ = 0;
  uint8_t sendSeq_ = 0;
  uint8_t receiveSeq_ = 0;
  uint8_t level_ = 15;              // access level of the connection; 0 is the highest
  std::deque<bus::Bytes> answers_;  // the first is in flight when `awaitingAck_`
  bool awaitingAck_ = false;
  int repetitions_ = 0;
  bus::Clock::time_point ackDeadline_{};
  bus::Clock::time_point lastFrame_{};
};

}  // namespace emulator
