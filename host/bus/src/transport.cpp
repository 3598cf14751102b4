#include "bus/transport.h"

#include <cstdio>

namespace bus {
namespace {
std::string SecondsText(std::chrono::milliseconds t) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", double(t.count()) / 1000.0);
  return text;
}
}  // namespace

Connection::Connection(Link& link, uint16_t peer, TransportTimings timings)
    : link_(link), peer_(peer), timings_(timings) {}

bool Connection::SendTpdu(const Bytes& tpdu, std::string& error) {
  if (!link_.Send(peer_, tpdu, error)) return false;
  stats_.Count(tpdu.size(), true);
  lastFrame_ = Clock::now();
  return true;
}

void Connection::Fatal(const std::string& why, std::string& error) {
  error = why;
  if (open_) {
    std::string ignored;
    SendTpdu({tpci::kDisconnect}, ignored);
  }
  open_ = false;
}

bool Connection::Open(std::string& error) {
  // Whatever is still queued belongs to an earlier connection.
  Frame stale;
  std::string ignored;
  while (link_.Receive(stale, Clock::now(), ignored) == Link::Wait::kFrame) {
  }
  if (link_.Interrupted()) {
    error = "interrupted";
    return false;
  }
  received_.clear();
  sendSeq_ = receiveSeq_ = 0;
  repeatedLast_ = false;
  if (!SendTpdu({tpci::kConnect}, error)) return false;
  open_ = true;
  return true;
}

void Connection::Close() {
  if (!open_) return;
  std::string ignored;
  SendTpdu({tpci::kDisconnect}, ignored);
  open_ = false;
}

Link::Wait Connection::Step(Clock::time_point deadline, std::string& error) {
  Frame f;
  const Link::Wait w = link_.Receive(f, deadline, error);
  if (w != Link::Wait::kFrame) return w;
  // Frames of other devices are not part of this connection.
  if (f.source != peer_ || f.tpdu.empty()) return w;
  stats_.Count(f.tpdu.size(), false);
  lastFrame_ = Clock::now();
  const uint8_t t = f.tpdu[0];
  const uint8_t seq = tpci::Sequence(t);
  if (t == tpci::kDisconnect) {
    answer_ = Answer::kDisconnect;
    open_ = false;
  } else if (tpci::IsAck(t) || tpci::IsNak(t)) {
    if (seq == sendSeq_) {
      if (answer_ == Answer::kNone) answer_ = tpci::IsAck(t) ? Answer::kAck : Answer::kNak;
    } else if (tpci::IsAck(t) && repeatedLast_ && seq == ((sendSeq_ - 1) & 0x0F)) {
      // The device acknowledges our repetition of the frame it had already
      // acknowledged: expected, and dropped.
    } else if (answer_ == Answer::kNone || answer_ == Answer::kAck) {
      answer_ = Answer::kWrongAck;
      wrongSeq_ = seq;
    }
  } else if (tpci::IsDataConnected(t) && open_) {
    std::string ignored;
    if (seq == receiveSeq_) {
      SendTpdu({uint8_t(tpci::kAck | seq << 2)}, ignored);
      receiveSeq_ = (receiveSeq_ + 1) & 0x0F;
      Bytes apdu = f.tpdu;
      apdu[0] = t & 0x03;
      received_.push_back(std::move(apdu));
    } else if (seq == ((receiveSeq_ - 1) & 0x0F)) {
      SendTpdu({uint8_t(tpci::kAck | seq << 2)}, ignored);  // a repetition: the ack was lost
    } else {
      SendTpdu({uint8_t(tpci::kNak | seq << 2)}, ignored);
    }
  }
  return w;
}

bool Connection::Send(const Bytes& apdu, std::string& error, bool endsConnection) {
  const std::string device = AddressText(peer_);
  if (!open_) {
    error = "there is no connection to " + device;
    return false;
  }
  if (link_.Interrupted()) {
    error = "interrupted";
    return false;
  }
  if (apdu.size() < 1) {
    error = "an empty APDU cannot be sent";
    return false;
  }
  Bytes tpdu = apdu;
  tpdu[0] = uint8_t(tpci::kDataConnected | sendSeq_ << 2 | (apdu[0] & 0x03));
  for (int attempt = 0; attempt <= timings_.repetitions; ++attempt) {
    if (attempt > 0) ++stats_.repetitions;
    answer_ = Answer::kNone;
    if (!SendTpdu(tpdu, error)) return false;
    const auto deadline = Clock::now() + timings_.ackTimeout;
    while (answer_ == Answer::kNone) {
      const Link::Wait w = Step(deadline, error);
      if (w == Link::Wait::kFailed) return false;
      if (w == Link::Wait::kTimeout) break;
    }
    switch (answer_) {
      case Answer::kAck:
        sendSeq_ = (sendSeq_ + 1) & 0x0F;
        repeatedLast_ = attempt > 0;
        return true;
      case Answer::kDisconnect:
        open_ = false;
        if (endsConnection) return true;
        error = "the device " + device + " closed the connection";
        return false;
      case Answer::kWrongAck:
        Fatal("the device " + device + " acknowledged sequence number " + std::to_string(wrongSeq_) +
                  " instead of " + std::to_string(sendSeq_) + "; the connection is closed",
              error);
        return false;
      case Answer::kNak:
      case Answer::kNone: break;  // repeat
    }
  }
  Fatal("the device " + device + " did not acknowledge (" + std::to_string(timings_.repetitions + 1) +
            " tries, " + SecondsText(timings_.ackTimeout) + " each)",
        error);
  return false;
}

bool Connection::Receive(Bytes& apdu, std::chrono::milliseconds timeout, std::string& error) {
  const auto deadline = Clock::now() + timeout;
  const std::string device = AddressText(peer_);
  while (received_.empty()) {
    if (!open_) {
      error = "the device " + device + " closed the connection";
      return false;
    }
    answer_ = Answer::kNone;
    const Link::Wait w = Step(deadline, error);
    if (w == Link::Wait::kFailed) return false;
    if (w == Link::Wait::kTimeout) {
      error = "the device " + device + " did not answer within " + SecondsText(timeout);
      return false;
    }
    if (answer_ == Answer::kWrongAck) {
      Fatal("the device " + device + " sent an acknowledgement of sequence number " +
                std::to_string(wrongSeq_) + " that nothing asked for; the connection is closed",
            error);
      return false;
    }
  }
  apdu = std::move(received_.front());
  received_.pop_front();
  return true;
}

}  // namespace bus
