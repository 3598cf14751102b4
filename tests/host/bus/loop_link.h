#pragma once
// In-process links for the bus tests: frames the host sends reach a peer
// function at once; what the peer answers waits in a queue for Receive.
#include <deque>
#include <functional>
#include <thread>

#include "bus/link.h"
#include "emulated_device.h"

namespace bustest {

class LoopLink : public bus::Link {
 public:
  static constexpr uint16_t kHost = 0x0F01;
  using Peer = std::function<void(const bus::Frame& sent)>;

  // The peer gets every frame sent; it answers with Reply().
  void SetPeer(Peer peer) { peer_ = std::move(peer); }
  void SetTick(std::function<void()> tick) { tick_ = std::move(tick); }
  void Reply(uint16_t source, bus::Bytes tpdu) {
    queue_.push_back(bus::Frame{source, kHost, std::move(tpdu)});
  }

  bool Send(uint16_t destination, const bus::Bytes& tpdu, std::string&) override {
    sent.push_back(bus::Frame{kHost, destination, tpdu});
    if (peer_) peer_(sent.back());
    return true;
  }
  Wait Receive(bus::Frame& frame, bus::Clock::time_point deadline, std::string& error) override {
    for (;;) {
      if (tick_) tick_();
      if (!queue_.empty()) {
        frame = std::move(queue_.front());
        queue_.pop_front();
        return Wait::kFrame;
      }
      if (Interrupted()) {
        error = "interrupted";
        return Wait::kFailed;
      }
      if (bus::Clock::now() >= deadline) return Wait::kTimeout;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  std::string Name() const override { return "loop"; }

  std::vector<bus::Frame> sent;

 private:
  Peer peer_;
  std::function<void()> tick_;
  std::deque<bus::Frame> queue_;
};

// Short timings, so that timeouts and the idle rule take milliseconds.
inline bus::TransportTimings FastTimings() {
  bus::TransportTimings t;
  t.ackTimeout = std::chrono::milliseconds(40);
  t.repetitions = 3;
  t.idleLimit = std::chrono::milliseconds(1500);
  return t;
}

// An emulated device behind a LoopLink.
struct DeviceOnLoop {
  explicit DeviceOnLoop(emulator::DeviceSettings settings = {}) {
    settings.timings = FastTimings();
    device = std::make_unique<emulator::EmulatedDevice>(settings,
                                                        [this](uint16_t destination, const bus::Bytes& tpdu) {
                                                          if (!mute)
                                                            loop->Reply(device->Settings().address, tpdu);
                                                          (void)destination;
                                                        });
    loop->SetPeer([this](const bus::Frame& f) {
      if (f.destination == device->Settings().address) device->Receive(f.source, f.tpdu);
    });
    loop->SetTick([this] { device->Tick(); });
  }
  std::unique_ptr<LoopLink> owned = std::make_unique<LoopLink>();
  LoopLink* loop = owned.get();
  std::unique_ptr<emulator::EmulatedDevice> device;
  bool mute = false;  // the device's frames are lost
};

}  // namespace bustest
