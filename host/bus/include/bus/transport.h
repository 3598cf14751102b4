#pragma once
// The connection-oriented transport layer of this end, towards one device:
// T_Connect opens, T_Data_Connected carries the application data with a
// 4-bit sequence number per direction, each acknowledged by T_ACK (or
// refused by T_NAK); T_Disconnect closes.
//
// - Sending: a data frame is repeated when its acknowledgement does not
//   come within the acknowledge timeout (3 s) or a T_NAK for it comes, at
//   most 3 times; then the connection is closed. An acknowledgement of
//   another sequence number closes it at once.
// - Receiving: the device's data frame of the expected number is
//   acknowledged and kept; a repetition of the previous one is
//   acknowledged again and dropped; any other number gets a T_NAK.
// - A device closes a connection that was idle for 6 s; Idle() tells how
//   long it has been, so that the caller opens a new one instead of
//   talking into a closed one.
#include <deque>
#include <string>

#include "bus/frame.h"
#include "bus/link.h"

namespace bus {

// Transport control octets (first octet of a TPDU).
namespace tpci {
constexpr uint8_t kConnect = 0x80;
constexpr uint8_t kDisconnect = 0x81;
constexpr uint8_t kDataConnected = 0x40;  // | seq << 2 | the two high APCI bits
constexpr uint8_t kAck = 0xC2;            // | seq << 2
constexpr uint8_t kNak = 0xC3;            // | seq << 2
inline bool IsDataConnected(uint8_t t) { return (t & 0xC0) == 0x40; }
inline bool IsAck(uint8_t t) { return (t & 0xC3) == 0xC2; }
inline bool IsNak(uint8_t t) { return (t & 0xC3) == 0xC3; }
inline uint8_t Sequence(uint8_t t) { return uint8_t((t >> 2) & 0x0F); }
}  // namespace tpci

struct TransportTimings {
  std::chrono::milliseconds ackTimeout{3000};
  int repetitions = 3;
  std::chrono::milliseconds idleLimit{6000};
};

class Connection {
 public:
  Connection(Link& link, uint16_t peer, TransportTimings timings = {});

  // Sends T_Connect; both sequence numbers start at 0. Frames left over
  // from an earlier connection are dropped first.
  bool Open(std::string& error);
  // Sends T_Disconnect if the connection is open.
  void Close();
  // Forgets the connection without a frame (the device ended it).
  void Drop() { open_ = false; }
  bool IsOpen() const { return open_; }

  // Sends an APDU (its first octet holds the two high bits of the
  // application code in its low bits) and waits for its acknowledgement.
  // With `endsConnection` a T_Disconnect from the device counts as the
  // acknowledgement: it restarted.
  bool Send(const Bytes& apdu, std::string& error, bool endsConnection = false);
  // The next APDU the device sent in this connection (acknowledged), waiting
  // at most `timeout`.
  bool Receive(Bytes& apdu, std::chrono::milliseconds timeout, std::string& error);

  Clock::duration Idle() const { return Clock::now() - lastFrame_; }
  const TransportTimings& Timings() const { return timings_; }
  const LineStats& Stats() const { return stats_; }
  uint16_t Peer() const { return peer_; }

 private:
  bool SendTpdu(const Bytes& tpdu, std::string& error);
  // Waits for one frame from the peer and handles the transport part; an
  // incoming data APDU is queued. kFrame: something arrived.
  Link::Wait Step(Clock::time_point deadline, std::string& error);
  void Fatal(const std::string& why, std::string& error);

  Link& link_;
  uint16_t peer_;
  TransportTimings timings_;
  bool open_ = false;
  uint8_t sendSeq_ = 0;
  uint8_t receiveSeq_ = 0;
  // What Step saw about the frame being sent.
  enum class Answer { kNone, kAck, kNak, kDisconnect, kWrongAck };
  Answer answer_ = Answer::kNone;
  uint8_t wrongSeq_ = 0;
  bool repeatedLast_ = false;  // the last frame was acknowledged only after a repetition
  std::deque<Bytes> received_;
  Clock::time_point lastFrame_ = Clock::now();
  LineStats stats_;
};

}  // namespace bus
