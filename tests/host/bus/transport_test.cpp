// The transport layer and the download services against the emulated
// device stack, in-process, with short timeouts.
#include <gtest/gtest.h>

#include <thread>

#include "bus/bus_device_link.h"
#include "bus/management.h"
#include "bus/transport.h"
#include "loop_link.h"

namespace {

using bus::Bytes;
using bustest::DeviceOnLoop;
using bustest::FastTimings;

constexpr uint16_t kDevice = 0x1105;

bus::DeviceOptions Options() {
  bus::DeviceOptions o;
  o.timings = FastTimings();
  return o;
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7);
  return v;
}

// --- a clean connection

TEST(BusTransport, ConnectChecksMaskAndKeyThenWritesAndReadsBack) {
  DeviceOnLoop d;
  bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
  std::string error;
  ASSERT_TRUE(link.Connect(error)) << error;
  const auto data = Pattern(12, 3);
  ASSERT_TRUE(link.WriteMemory(0x7820, data.data(), 12, error)) << error;
  uint8_t back[12] = {};
  ASSERT_TRUE(link.ReadMemory(0x7820, back, 12, error)) << error;
  EXPECT_EQ(std::vector<uint8_t>(back, back + 12), data);
  EXPECT_EQ(d.device->Memory()[0x7820], data[0]);
  ASSERT_TRUE(link.Restart(error)) << error;
  EXPECT_EQ(d.device->Counters().restarts, 1u);
  EXPECT_FALSE(d.device->Connected());
  // The frames on the wire: T_Connect, the mask version request, then the
  // key; a 12-byte write is a TPDU of 16 octets, the longest standard frame.
  const auto& sent = d.loop->sent;
  ASSERT_GE(sent.size(), 6u);
  EXPECT_EQ(sent[0].tpdu, Bytes({0x80}));
  EXPECT_EQ(sent[1].tpdu, Bytes({0x43, 0x00}));
  EXPECT_EQ(sent[2].tpdu[0], 0xC2);  // our ack of the device's answer (its sequence 0)
  EXPECT_EQ(sent[3].tpdu, Bytes({0x47, 0xD1, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(sent[5].tpdu.size(), 16u);
  EXPECT_EQ(sent[5].tpdu[0], 0x4A);  // sequence 2, high APCI bits 10
  EXPECT_EQ(sent[5].tpdu[1], 0x8C);
}

TEST(BusTransport, SequenceNumbersWrapAfterSixteenTelegrams) {
  DeviceOnLoop d;
  bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
  std::string error;
  ASSERT_TRUE(link.Connect(error)) << error;
  for (uint16_t i = 0; i < 40; ++i) {
    const uint8_t b = uint8_t(i);
    ASSERT_TRUE(link.WriteMemory(uint16_t(0x1000 + i), &b, 1, error)) << i << ": " << error;
  }
  for (uint16_t i = 0; i < 40; ++i) EXPECT_EQ(d.device->Memory()[0x1000 + i], uint8_t(i));
  EXPECT_EQ(link.Line().repetitions, 0u);
  EXPECT_EQ(d.device->Counters().naksSent, 0u);
}

TEST(BusTransport, LineModelCountsEveryFrameBothWays) {
  DeviceOnLoop d;
  bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
  std::string error;
  ASSERT_TRUE(link.Connect(error)) << error;
  const bus::LineStats before = link.Line();
  const auto data = Pattern(12, 1);
  ASSERT_TRUE(link.WriteMemory(0x2000, data.data(), 12, error));
  // A 23-octet frame and an 8-octet T_ACK: 57.8 ms, as the executor's model has it.
  EXPECT_EQ(link.Line().bitTimes - before.bitTimes, 13u * 23 + 76 + 13u * 8 + 76);
}

// --- lost and refused frames

TEST(BusTransport, ALostAcknowledgementIsRepeatedAndTheDuplicateDropped) {
  emulator::DeviceSettings s;
  s.faults.dropAck = 3;  // the first memory write (after mask and key)
  DeviceOnLoop d(s);
  bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
  std::string error;
  ASSERT_TRUE(link.Connect(error)) << error;
  const uint8_t first[2] = {0x11, 0x22}, second[1] = {0x33};
  ASSERT_TRUE(link.WriteMemory(0x3000, first, 2, error)) << error;
  ASSERT_TRUE(link.WriteMemory(0x3002, second, 1, error)) << error;
  EXPECT_EQ(link.Line().repetitions, 1u);
  EXPECT_EQ(d.device->Counters().duplicates, 1u);
  EXPECT_EQ(d.device->Counters().memoryWrites, 2u);  // the repetition was not written again
  EXPECT_EQ(d.device->Memory()[0x3002], 0x33);
}

TEST(BusTransport, ALostAcknowledgementOfAReadStillDeliversTheAnswer) {
  emulator::DeviceSettings s;
  s.faults.dropAck = 3;
  DeviceOnLoop d(s);
  d.device->Memory()[0x4000] = 0xAB;
  bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
  std::string error;
  ASSERT_TRUE(link.Connect(error)) << error;
  uint8_t b = 0;
  ASSERT_TRUE(link.ReadMemory(0x4000, &b, 1, error)) << error;
  EXPECT_EQ(b, 0xAB);
  EXPECT_EQ(d.device->Counters().memoryReads, 1u);
}

TEST(BusTransport, ANakIsAnsweredWithARepetition) {
  emulator::DeviceSettings s;
  s.faults.nak = 3;
  DeviceOnLoop d(s);
  bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
  std::string error;
  ASSERT_TRUE(link.Connect(error)) << error;
  const uint8_t b = 0x5A;
  ASSERT_TRUE(link.WriteMemory(0x3000, &b, 1, error)) << error;
  EXPECT_EQ(link.Line().repetitions, 1u);
  EXPECT_EQ(d.device->Counters().naksSent, 1u);
  EXPECT_EQ(d.device->Memory()[0x3000], 0x5A);
}

TEST(BusTransport, ASilentDeviceIsGivenUpAfterThreeRepetitions) {
  DeviceOnLoop d;
  d.mute = true;
  bustest::LoopLink* loop = d.loop;
  bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
  std::string error;
  EXPECT_FALSE(link.Connect(error));
  EXPECT_NE(error.find("did not acknowledge (4 tries, 0.04 s each)"), std::string::npos) << error;
  EXPECT_EQ(link.Line().repetitions, 3u);
  EXPECT_EQ(loop->sent.back().tpdu, Bytes({0x81}));  // and the connection is closed
}

TEST(BusTransport, ADeviceThatDisconnectsEndsTheDownloadClearly) {
  emulator::DeviceSettings s;
  s.faults.disconnectAfter = 3;
  DeviceOnLoop d(s);
  bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
  std::string error;
  ASSERT_TRUE(link.Connect(error)) << error;
  const uint8_t b = 1;
  ASSERT_TRUE(link.WriteMemory(0x3000, &b, 1, error)) << error;
  EXPECT_FALSE(link.WriteMemory(0x3001, &b, 1, error));
  EXPECT_NE(error.find("closed"), std::string::npos) << error;
  EXPECT_EQ(d.device->Memory()[0x3001], 0);
}

TEST(BusTransport, TheDeviceClosesAnIdleConnectionAndTheLinkOpensANewOne) {
  DeviceOnLoop d;
  bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
  std::string error;
  ASSERT_TRUE(link.Connect(error)) << error;
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));  // past limit - limit / 6
  const uint8_t b = 9;
  ASSERT_TRUE(link.WriteMemory(0x3000, &b, 1, error)) << error;
  EXPECT_EQ(link.Reconnects(), 1u);
  EXPECT_EQ(d.device->Counters().connects, 2u);
  EXPECT_EQ(d.device->Memory()[0x3000], 9);
}

TEST(BusTransport, TheEmulatedDeviceDisconnectsAfterItsIdleLimit) {
  DeviceOnLoop d;
  bus::Connection c(*d.loop, kDevice, FastTimings());
  std::string error;
  ASSERT_TRUE(c.Open(error));
  EXPECT_TRUE(d.device->Connected());
  std::this_thread::sleep_for(std::chrono::milliseconds(1600));
  d.device->Tick();
  EXPECT_FALSE(d.device->Connected());
  EXPECT_EQ(d.device->Counters().idleDisconnects, 1u);
}

// --- what the device says is checked

TEST(BusTransport, AWrongMaskVersionOrKeyRefusesTheConnection) {
  {
    emulator::DeviceSettings s;
    s.maskVersion = 0x0701;
    DeviceOnLoop d(s);
    bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
    std::string error;
    EXPECT_FALSE(link.Connect(error));
    EXPECT_NE(error.find("has mask version 0701, not 0705"), std::string::npos) << error;
    EXPECT_FALSE(d.device->Connected());
  }
  {
    emulator::DeviceSettings s;
    s.key = 0x12345678;
    DeviceOnLoop d(s);
    bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
    std::string error;
    EXPECT_FALSE(link.Connect(error));
    EXPECT_NE(error.find("did not accept the key 0xFFFFFFFF (access level 15"), std::string::npos) << error;
  }
  {
    emulator::DeviceSettings s;
    s.key = 0x12345678;
    DeviceOnLoop d(s);
    bus::DeviceOptions o = Options();
    o.key = 0x12345678;
    bus::BusDeviceLink link(std::move(d.owned), kDevice, o);
    std::string error;
    EXPECT_TRUE(link.Connect(error)) << error;
  }
}

TEST(BusTransport, ARefusedReadIsAnError) {
  emulator::DeviceSettings s;
  s.faults.refuseRead = true;
  DeviceOnLoop d(s);
  bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
  std::string error;
  ASSERT_TRUE(link.Connect(error)) << error;
  uint8_t b[4];
  EXPECT_FALSE(link.ReadMemory(0x7820, b, 4, error));
  EXPECT_NE(error.find("the device 1.1.5 refused to read 4 bytes at 0x7820"), std::string::npos) << error;
}

TEST(BusTransport, RequestsOutsideTheMemoryOrTooLongAreRefusedBeforeSending) {
  DeviceOnLoop d;
  bustest::LoopLink* loop = d.loop;
  bus::BusDeviceLink link(std::move(d.owned), kDevice, Options());
  std::string error;
  ASSERT_TRUE(link.Connect(error)) << error;
  const size_t frames = loop->sent.size();
  uint8_t b[13] = {};
  EXPECT_FALSE(link.WriteMemory(0x1000, b, 13, error));
  EXPECT_FALSE(link.WriteMemory(0xFFFF, b, 2, error));
  EXPECT_FALSE(link.ReadMemory(0x1000, b, 0, error));
  EXPECT_NE(error.find("not possible"), std::string::npos) << error;
  EXPECT_EQ(loop->sent.size(), frames);
}

// A scripted device: answers each data frame as the test says.
class ScriptedDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    loop_->SetPeer([this](const bus::Frame& f) {
      const uint8_t t = f.tpdu[0];
      if (bus::tpci::IsDataConnected(t)) {
        if (ackWith_ >= 0)
          loop_->Reply(kDevice, {uint8_t(0xC2 | ackWith_ << 2)});
        else
          loop_->Reply(kDevice, {uint8_t(0xC2 | (t & 0x3C))});
        Bytes apdu = f.tpdu;
        apdu[0] &= 0x03;
        if (answer_) answer_(apdu);
      }
    });
  }
  // Sends a device data frame with sequence `seq` carrying `apdu`.
  void DeviceSends(uint8_t seq, Bytes apdu) {
    apdu[0] = uint8_t(0x40 | seq << 2 | (apdu[0] & 0x03));
    loop_->Reply(kDevice, std::move(apdu));
  }
  std::unique_ptr<bustest::LoopLink> owned_ = std::make_unique<bustest::LoopLink>();
  bustest::LoopLink* loop_ = owned_.get();
  bus::Connection c_{*loop_, kDevice, FastTimings()};
  bus::Management m_{c_};
  std::function<void(const Bytes&)> answer_;
  int ackWith_ = -1;
  uint8_t deviceSeq_ = 0;
};

TEST_F(ScriptedDevice, AResponseForAnotherAddressOrLengthIsAnError) {
  std::string error;
  ASSERT_TRUE(c_.Open(error));
  answer_ = [&](const Bytes&) { DeviceSends(deviceSeq_++, {0x02, 0x42, 0x78, 0x21, 1, 2}); };
  uint8_t b[4];
  EXPECT_FALSE(m_.ReadMemory(0x7820, b, 2, error));
  EXPECT_NE(error.find("answered the read of 0x7820 for 0x7821"), std::string::npos) << error;
  answer_ = [&](const Bytes&) { DeviceSends(deviceSeq_++, {0x02, 0x43, 0x78, 0x20, 1, 2, 3}); };
  EXPECT_FALSE(m_.ReadMemory(0x7820, b, 2, error));
  EXPECT_NE(error.find("with 3"), std::string::npos) << error;
  answer_ = [&](const Bytes&) { DeviceSends(deviceSeq_++, {0x02, 0x44, 0x78, 0x20, 1, 2}); };
  EXPECT_FALSE(m_.ReadMemory(0x7820, b, 4, error));
  EXPECT_NE(error.find("announced 4 bytes at 0x7820 but sent 2"), std::string::npos) << error;
  answer_ = [&](const Bytes&) { DeviceSends(deviceSeq_++, {0x03, 0x40, 0x07, 0x05}); };
  EXPECT_FALSE(m_.ReadMemory(0x7820, b, 2, error));
  EXPECT_NE(error.find("answered A_Memory_Read with A_DeviceDescriptor_Response"), std::string::npos)
      << error;
}

TEST_F(ScriptedDevice, AWrongSequenceAcknowledgementEndsTheConnection) {
  std::string error;
  ASSERT_TRUE(c_.Open(error));
  ackWith_ = 5;
  const uint8_t b = 1;
  EXPECT_FALSE(m_.WriteMemory(0x1000, &b, 1, error));
  EXPECT_NE(error.find("acknowledged sequence number 5 instead of 0"), std::string::npos) << error;
  EXPECT_FALSE(c_.IsOpen());
  EXPECT_EQ(loop_->sent.back().tpdu, Bytes({0x81}));
}

TEST_F(ScriptedDevice, ARepeatedDeviceFrameIsAcknowledgedAgainAndDropped) {
  std::string error;
  ASSERT_TRUE(c_.Open(error));
  // The device repeats its answer (our ack was lost), then sends a frame of
  // a sequence number out of turn.
  answer_ = [&](const Bytes&) {
    DeviceSends(0, {0x03, 0x40, 0x07, 0x05});
    DeviceSends(0, {0x03, 0x40, 0x07, 0x05});
    DeviceSends(7, {0x03, 0x40, 0x07, 0x05});
  };
  uint16_t mask = 0;
  ASSERT_TRUE(m_.ReadMaskVersion(mask, error)) << error;
  EXPECT_EQ(mask, 0x0705);
  answer_ = nullptr;
  Bytes extra;
  EXPECT_FALSE(c_.Receive(extra, std::chrono::milliseconds(30), error));  // nothing more came through
  std::vector<uint8_t> acks;
  for (const auto& f : loop_->sent)
    if (f.tpdu.size() == 1 && (f.tpdu[0] & 0xC0) == 0xC0) acks.push_back(f.tpdu[0]);
  EXPECT_EQ(acks, std::vector<uint8_t>({0xC2, 0xC2, 0xDF}));  // ack 0, ack 0 again, NAK 7
}

TEST_F(ScriptedDevice, AnInterruptStopsWaitingAndTheConnectionCanStillBeClosed) {
  std::string error;
  ASSERT_TRUE(c_.Open(error));
  std::atomic<bool> stop{true};
  loop_->SetInterrupt(&stop);
  const uint8_t b = 1;
  EXPECT_FALSE(m_.WriteMemory(0x1000, &b, 1, error));
  EXPECT_EQ(error, "interrupted");
  c_.Close();
  EXPECT_EQ(loop_->sent.back().tpdu, Bytes({0x81}));
}

}  // namespace
