#include "emulated_device.h"

#include <algorithm>
#include <cstring>

#include "bus/management.h"

namespace emulator {

using bus::Bytes;
using bus::Clock;
namespace tpci = bus::tpci;
namespace apci = bus::apci;

namespace {
// The level below which (numerically above which) memory is closed.
constexpr uint8_t kNoAccess = 15;
}  // namespace

EmulatedDevice::EmulatedDevice(const DeviceSettings& settings, Output output)
    : settings_(settings),
      output_(std::move(output)),
      memory_(std::make_unique<std::array<uint8_t, kMemorySize>>()) {
  memory_->fill(0);
}

void EmulatedDevice::Send(uint16_t destination, const Bytes& tpdu) {
  if (open_ && destination == peer_) lastFrame_ = Clock::now();
  output_(destination, tpdu);
}

void EmulatedDevice::Open(uint16_t peer) {
  open_ = true;
  peer_ = peer;
  sendSeq_ = receiveSeq_ = 0;
  level_ = kNoAccess;
  answers_.clear();
  awaitingAck_ = false;
  repetitions_ = 0;
  lastFrame_ = Clock::now();
  ++counters_.connects;
}

void EmulatedDevice::Disconnect() {
  if (!open_) return;
  ++counters_.disconnectsSent;
  Send(peer_, {tpci::kDisconnect});
  open_ = false;
  answers_.clear();
  awaitingAck_ = false;
}

void EmulatedDevice::Answer(Bytes apdu) {
  answers_.push_back(std::move(apdu));
  if (!awaitingAck_) SendPending();
}

void EmulatedDevice::SendPending() {
  if (answers_.empty() || !open_) {
    awaitingAck_ = false;
    return;
  }
  Bytes tpdu = answers_.front();
  tpdu[0] = uint8_t(tpci::kDataConnected | sendSeq_ << 2 | (tpdu[0] & 0x03));
  awaitingAck_ = true;
  ackDeadline_ = Clock::now() + settings_.timings.ackTimeout;
  Send(peer_, tpdu);
}

void EmulatedDevice::Receive(uint16_t source, const Bytes& tpdu) {
  if (tpdu.empty()) return;
  const uint8_t t = tpdu[0];
  const uint8_t seq = tpci::Sequence(t);
  if (t == tpci::kConnect) {
    if (open_ && source != peer_) {
      Send(source, {tpci::kDisconnect});  // busy with another host
      return;
    }
    Open(source);
    return;
  }
  if (t == tpci::kDisconnect) {
    if (open_ && source == peer_) {
      ++counters_.disconnectsReceived;
      open_ = false;
      answers_.clear();
      awaitingAck_ = false;
    }
    return;
  }
  // Connectionless frames (T_Data_Individual and the like) are not served.
  if ((t & 0x80) == 0 && !tpci::IsDataConnected(t)) return;
  if (!open_ || source != peer_) {
    Send(source, {tpci::kDisconnect});
    return;
  }
  lastFrame_ = Clock::now();
  if (tpci::IsAck(t)) {
    if (awaitingAck_ && seq == sendSeq_) {
      sendSeq_ = (sendSeq_ + 1) & 0x0F;
      answers_.pop_front();
      awaitingAck_ = false;
      repetitions_ = 0;
      SendPending();
    } else {
      Disconnect();
    }
    return;
  }
  if (tpci::IsNak(t)) {
    if (awaitingAck_ && seq == sendSeq_ && repetitions_ < settings_.timings.repetitions) {
      ++repetitions_;
      ++counters_.repetitions;
      SendPending();
    } else {
      Disconnect();
    }
    return;
  }
  if (!tpci::IsDataConnected(t)) return;
  if (seq == receiveSeq_) {
    const uint64_t n = ++counters_.dataFrames;
    if (settings_.faults.nak == n) {
      ++counters_.naksSent;
      Send(peer_, {uint8_t(tpci::kNak | seq << 2)});
      return;
    }
    if (settings_.faults.dropAck == n)
      ++counters_.acksDropped;
    else
      Send(peer_, {uint8_t(tpci::kAck | seq << 2)});
    receiveSeq_ = (receiveSeq_ + 1) & 0x0F;
    Handle(tpdu);
    if (settings_.faults.disconnectAfter == n) Disconnect();
  } else if (seq == ((receiveSeq_ - 1) & 0x0F)) {
    ++counters_.duplicates;
    Send(peer_, {uint8_t(tpci::kAck | seq << 2)});
  } else {
    ++counters_.naksSent;
    Send(peer_, {uint8_t(tpci::kNak | seq << 2)});
  }
}

void EmulatedDevice::Handle(const Bytes& tpdu) {
  if (tpdu.size() < 2) return;
  const uint16_t code = uint16_t((tpdu[0] & 0x03) << 8 | tpdu[1]);
  const uint32_t n = code & 0x3F;
  const uint16_t address = tpdu.size() >= 4 ? uint16_t(tpdu[2] << 8 | tpdu[3]) : 0;
  const bool inMemory = n >= 1 && n <= bus::kMaxMemoryData && uint32_t(address) + n <= kMemorySize;
  switch (code & 0x3C0) {
    case apci::kDescriptorRead:
      if (n == 0)
        Answer({0x03, 0x40, uint8_t(settings_.maskVersion >> 8), uint8_t(settings_.maskVersion)});
      else
        Answer({0x03, 0x40 | 0x3F});  // an unknown descriptor type
      return;
    case apci::kMemoryRead: {
      if (tpdu.size() != 4) return;
      ++counters_.memoryReads;
      Bytes answer = {0x02, 0x40, tpdu[2], tpdu[3]};
      if (inMemory && !settings_.faults.refuseRead && level_ <= bus::kLowestWriteLevel) {
        answer[1] = uint8_t(0x40 | n);
        answer.insert(answer.end(), memory_->begin() + address, memory_->begin() + address + n);
      }
      Answer(std::move(answer));
      return;
    }
    case apci::kMemoryWrite: {
      if (tpdu.size() != 4 + n || !inMemory || level_ > bus::kLowestWriteLevel) return;
      const uint64_t k = ++counters_.memoryWrites;
      std::memcpy(memory_->data() + address, tpdu.data() + 4, n);
      if (settings_.faults.corruptWrite == k) (*memory_)[address] ^= 0xFF;
      return;
    }
    default: break;
  }
  if (code == apci::kAuthorizeRequest && tpdu.size() == 7) {
    const uint32_t key = uint32_t(tpdu[3]) << 24 | uint32_t(tpdu[4]) << 16 | uint32_t(tpdu[5]) << 8 | tpdu[6];
    level_ = key == settings_.key ? 0 : kNoAccess;
    Answer({0x03, 0xD2, level_});
  } else if (code == apci::kRestart) {
    // The stack starts anew: no connection, no access.
    ++counters_.restarts;
    open_ = false;
    answers_.clear();
    awaitingAck_ = false;
    level_ = kNoAccess;
  }
}

void EmulatedDevice::Tick() {
  if (!open_) return;
  const auto now = Clock::now();
  if (awaitingAck_ && now >= ackDeadline_) {
    if (repetitions_ < settings_.timings.repetitions) {
      ++repetitions_;
      ++counters_.repetitions;
      SendPending();
    } else {
      Disconnect();
      return;
    }
  }
  if (open_ && now - lastFrame_ >= settings_.timings.idleLimit) {
    ++counters_.idleDisconnects;
    Disconnect();
  }
}

Clock::time_point EmulatedDevice::NextTimer() const {
  if (!open_) return Clock::time_point::max();
  auto next = lastFrame_ + settings_.timings.idleLimit;
  if (awaitingAck_) next = std::min(next, ackDeadline_);
  return next;
}

}  // namespace emulator
