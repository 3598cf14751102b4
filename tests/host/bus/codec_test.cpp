// Addresses, the TP1 line model, KNXnet/IP packets and cEMI frames, and
// opening links from their texts.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include "bus/frame.h"
#include "bus/knxip.h"
#include "bus/link.h"
#include "bus/socket.h"
#include "bus/tunnel_link.h"

namespace {

using bus::Bytes;

TEST(BusCodec, IndividualAddresses) {
  uint16_t a = 0;
  EXPECT_TRUE(bus::ParseAddress("1.1.5", a));
  EXPECT_EQ(a, 0x1105);
  EXPECT_TRUE(bus::ParseAddress("15.15.255", a));
  EXPECT_EQ(a, 0xFFFF);
  EXPECT_EQ(bus::AddressText(0x1105), "1.1.5");
  for (const char* bad :
       {"", "1.1", "1.1.5.", "16.1.1", "1.16.1", "1.1.256", "1..5", "a.b.c", " 1.1.5", "1.1.00005"})
    EXPECT_FALSE(bus::ParseAddress(bad, a)) << bad;
}

TEST(BusCodec, LineTimesOfTheFramesOfADownload) {
  EXPECT_EQ(bus::FrameBits(1), 180u);                       // T_ACK, T_Connect: 18.75 ms
  EXPECT_EQ(bus::FrameBits(16) + bus::FrameBits(1), 555u);  // 12-byte write + ack: 57.8 ms
  EXPECT_EQ(bus::FrameOctets(17), 25u);                     // an extended frame has one octet more
  bus::LineStats s;
  s.Count(16, true);
  s.Count(1, false);
  EXPECT_EQ(s.framesSent, 1u);
  EXPECT_EQ(s.framesReceived, 1u);
  EXPECT_NEAR(s.Seconds(), 0.0578, 0.0001);
}

TEST(BusCodec, CemiFramesRoundTripAndMalformedOnesAreRefused) {
  const Bytes tpdu = {0x4E, 0x8C, 0x40, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const Bytes m = bus::knxip::EncodeCemi(bus::knxip::kLDataRequest, 0x0004, 0x0003, tpdu);
  EXPECT_EQ(Bytes(m.begin(), m.begin() + 9), Bytes({0x11, 0x00, 0xBC, 0x60, 0x00, 0x04, 0x00, 0x03, 15}));
  bus::knxip::Cemi c;
  ASSERT_TRUE(bus::knxip::DecodeCemi(m.data(), m.size(), c));
  EXPECT_EQ(c.source, 0x0004);
  EXPECT_EQ(c.destination, 0x0003);
  EXPECT_EQ(c.tpdu, tpdu);
  EXPECT_FALSE(c.Failed());
  EXPECT_FALSE(c.GroupAddressed());
  // A length field that does not match, a truncated frame, additional info.
  Bytes bad = m;
  bad[8] = 14;
  EXPECT_FALSE(bus::knxip::DecodeCemi(bad.data(), bad.size(), c));
  EXPECT_FALSE(bus::knxip::DecodeCemi(m.data(), 8, c));
  Bytes info = {0x29, 0x02, 0xAA, 0xBB, 0xBC, 0xE0, 0x11, 0x05, 0x0A, 0x01, 0x01, 0x00, 0x80};
  ASSERT_TRUE(bus::knxip::DecodeCemi(info.data(), info.size(), c));
  EXPECT_TRUE(c.GroupAddressed());
  EXPECT_EQ(c.tpdu, Bytes({0x00, 0x80}));
  const Bytes failed = bus::knxip::EncodeCemi(bus::knxip::kLDataConfirm, 1, 2, {0x80}, true);
  ASSERT_TRUE(bus::knxip::DecodeCemi(failed.data(), failed.size(), c));
  EXPECT_TRUE(c.Failed());
}

TEST(BusCodec, PacketsAndEndpoints) {
  const Bytes p = bus::knxip::Packet(bus::knxip::kTunnelAck, {0x04, 0x01, 0x07, 0x00});
  EXPECT_EQ(p, Bytes({0x06, 0x10, 0x04, 0x21, 0x00, 0x0A, 0x04, 0x01, 0x07, 0x00}));
  uint16_t service = 0;
  Bytes body;
  ASSERT_TRUE(bus::knxip::ParsePacket(p.data(), p.size(), service, body));
  EXPECT_EQ(service, bus::knxip::kTunnelAck);
  EXPECT_EQ(body.size(), 4u);
  EXPECT_FALSE(bus::knxip::ParsePacket(p.data(), p.size() - 1, service, body));  // length field says 10
  Bytes other = p;
  other[1] = 0x20;  // another protocol version
  EXPECT_FALSE(bus::knxip::ParsePacket(other.data(), other.size(), service, body));

  sockaddr_in e{};
  e.sin_family = AF_INET;
  e.sin_port = htons(3671);
  inet_pton(AF_INET, "192.168.1.20", &e.sin_addr);
  const Bytes h = bus::knxip::Hpai(e);
  EXPECT_EQ(h, Bytes({0x08, 0x01, 192, 168, 1, 20, 0x0E, 0x57}));
  sockaddr_in back{};
  ASSERT_TRUE(bus::knxip::ParseHpai(h.data(), h.size(), back));
  EXPECT_EQ(bus::EndpointText(back), "192.168.1.20:3671");
}

TEST(BusLinks, BadLinkTextsAreNamedWithWhatWouldWork) {
  std::string error;
  EXPECT_EQ(bus::OpenLink("usb:1", error), nullptr);
  EXPECT_NE(error.find("unknown bus \"usb:1\""), std::string::npos) << error;
  EXPECT_NE(error.find("ip:HOST[:PORT]"), std::string::npos) << error;
  EXPECT_NE(error.find("knxd:PATH"), std::string::npos) << error;
  EXPECT_EQ(bus::OpenLink("knxd:/nonexistent/dir/eib", error), nullptr);
  EXPECT_NE(error.find("cannot connect to /nonexistent/dir/eib"), std::string::npos) << error;
  EXPECT_EQ(bus::OpenLink("ip:127.0.0.1:99999", error), nullptr);
  EXPECT_NE(error.find("bad tunnelling server address"), std::string::npos) << error;
  EXPECT_EQ(bus::OpenLink("knxd:tcp:127.0.0.1:x", error), nullptr);
  EXPECT_NE(error.find("bad knxd address"), std::string::npos) << error;
}

TEST(BusLinks, ATunnellingServerThatDoesNotAnswerIsNamed) {
  // A UDP port that nobody reads: the connect request goes unanswered.
  int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  bus::TunnelOptions o;
  o.controlTimeout = std::chrono::milliseconds(200);
  std::string error;
  const std::string where = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
  EXPECT_EQ(bus::OpenTunnel(where, error, o), nullptr);
  EXPECT_NE(error.find("ip:" + where + " did not answer the tunnel connect request"), std::string::npos)
      << error;
  ::close(fd);
}

}  // namespace
