#pragma once
// What the bus fuzz targets share: a download's device side over a link
// whose every answer comes from the fuzz input. The input starts with a plan
// (operations of the executor's device link); the rest is what the link
// hears, in the link's own format. Checks: every call that fails says why,
// a call outside the telegram limits never succeeds, and a read that
// succeeds fills exactly its buffer (each buffer is an allocation of its own
// length, so a longer copy is caught).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bus/bus_device_link.h"

namespace fuzzbus {

// The device every session talks to: 1.1.5.
constexpr uint16_t kDevice = 0x1105;

struct Operation {
  uint8_t kind = 0;  // 0 read, 1 write, 2 restart, 3 disconnect and connect again
  uint16_t address = 0;
  uint8_t length = 0;
};

// Plan: one octet (count, 0..6), then four per operation: kind, address
// (big-endian), length. Takes what it reads off the front of the input.
inline std::vector<Operation> TakePlan(const uint8_t*& data, size_t& size) {
  std::vector<Operation> plan;
  if (size == 0) return plan;
  const size_t count = data[0] % 7;
  ++data, --size;
  for (size_t i = 0; i < count && size >= 4; ++i, data += 4, size -= 4)
    plan.push_back(Operation{uint8_t(data[0] % 4), uint16_t(data[1] << 8 | data[2]), data[3]});
  return plan;
}

[[noreturn]] inline void Fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "bus session: %s %s\n", what, detail.c_str());
  std::abort();
}

inline void ExpectReason(bool ok, const std::string& error, const char* call) {
  if (!ok && error.empty()) Fail("a failed call gave no reason:", call);
}

inline bool WithinLimits(const Operation& op) {
  return op.length >= 1 && op.length <= bus::kMaxMemoryData && uint32_t(op.address) + op.length <= 0x10000;
}

// Runs the plan over `link` (null: the link did not open, which is fine).
inline void RunSession(std::unique_ptr<bus::Link> link, const std::vector<Operation>& plan) {
  if (!link) return;
  bus::DeviceOptions options;
  // The fuzzed links answer at once or fail, so no timeout is ever waited
  // for; short ones keep a mistaken wait from stalling the fuzzer.
  options.timings.ackTimeout = std::chrono::milliseconds(1);
  options.timings.idleLimit = std::chrono::milliseconds(2000);
  bus::BusDeviceLink device(std::move(link), kDevice, options);
  std::string error;
  bool ok = device.Connect(error);
  ExpectReason(ok, error, "Connect");
  if (!ok) return;
  for (const Operation& op : plan) {
    error.clear();
    switch (op.kind) {
      case 0: {
        std::vector<uint8_t> buffer(op.length);
        ok = device.ReadMemory(op.address, buffer.data(), op.length, error);
        ExpectReason(ok, error, "ReadMemory");
        if (ok && !WithinLimits(op)) Fail("a read outside the limits succeeded");
        break;
      }
      case 1: {
        std::vector<uint8_t> bytes(op.length, uint8_t(op.address));
        ok = device.WriteMemory(op.address, bytes.data(), op.length, error);
        ExpectReason(ok, error, "WriteMemory");
        if (ok && !WithinLimits(op)) Fail("a write outside the limits succeeded");
        break;
      }
      case 2:
        ok = device.Restart(error);
        ExpectReason(ok, error, "Restart");
        break;
      default:
        device.Disconnect(error);
        ok = device.Connect(error);
        ExpectReason(ok, error, "Connect");
        break;
    }
  }
}

}  // namespace fuzzbus
