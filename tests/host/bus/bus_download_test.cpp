// dx47x-host downloading over a bus into the device emulator, end to end,
// three ways: through a knxd whose clients are both host and emulator,
// through a knxd whose bus is the emulator's tunnelling server, and straight
// to that tunnelling server. After every download (or a failed one and at
// most one more) the device holds byte for byte what a clean complete
// download into the simulated device gives.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "bus/tunnel_link.h"
#include "bus_processes.h"
#include "data/blockinfo.h"
#include "data/records.h"
#include "temp_home.h"

namespace {

using bustest::Child;
using bustest::Emulator;
using bustest::Knxd;

enum class Route { kKnxdClients, kKnxdTunnel, kTunnel };

std::string RouteName(const ::testing::TestParamInfo<Route>& info) {
  switch (info.param) {
    case Route::kKnxdClients: return "KnxdClients";
    case Route::kKnxdTunnel: return "KnxdOverTunnel";
    case Route::kTunnel: return "Tunnel";
  }
  return "?";
}

class BusDownload : public ::testing::TestWithParam<Route> {
 protected:
  void SetUp() override {
    if (GetParam() != Route::kTunnel && bustest::KnxdProgram().empty())
      GTEST_SKIP() << "knxd is not installed (scripts/setup.sh installs it)";
    // A knxd client gets its address from knxd's pool: the emulator, first,
    // is 0.0.2. Behind a tunnelling server the device has any address.
    address_ = GetParam() == Route::kKnxdClients ? "0.0.2" : "1.1.5";
    ASSERT_EQ(Run("register"), 0);
    ASSERT_EQ(Run("init"), 0);
    ASSERT_EQ(Run("add-device " + address_), 0);
  }

  int Run(const std::string& args, std::string* out = nullptr) {
    std::string ignored;
    return testsupport::RunCommand(
        "DX47X_HOME='" + home_.Path() + "' '" + testsupport::BinDir() + "/dx47x-host' " + args + " 2>&1",
        out ? out : &ignored);
  }

  // The emulator with `options`, and knxd where the route has one.
  void StartDevice(std::vector<std::string> options = {}) {
    std::string error;
    if (GetParam() == Route::kKnxdClients) {
      ASSERT_TRUE(knxd_.Start(home_.Path(), "dummy:", error)) << error;
      options.insert(options.end(), {"--knxd", knxd_.Socket()});
      ASSERT_TRUE(emulator_.Start(options, home_.Path(), error)) << error;
      bus_ = "knxd:" + knxd_.Socket();
      return;
    }
    options.insert(options.end(), {"--tunnel", "127.0.0.1:0", "--address", address_});
    ASSERT_TRUE(emulator_.Start(options, home_.Path(), error)) << error;
    if (GetParam() == Route::kTunnel) {
      bus_ = "ip:" + emulator_.Endpoint();
      return;
    }
    ASSERT_TRUE(knxd_.Start(home_.Path(), "ipt:" + emulator_.Endpoint(), error)) << error;
    bus_ = "knxd:" + knxd_.Socket();
  }

  int Download(const std::string& extra, std::string* out) {
    return Run("download " + address_ + " --bus " + bus_ + (extra.empty() ? "" : " " + extra), out);
  }

  // Ends the emulator (then knxd) and gives the device memory it left.
  std::vector<char> StopDevice() {
    std::vector<char> memory;
    EXPECT_TRUE(emulator_.Stop(memory, counters_)) << counters_;
    knxd_.Process().Stop();
    return memory;
  }

  // What a clean complete download of the device's configuration leaves in
  // a simulated device (another project with the same BLOB).
  std::vector<char> CleanMemory(bool full = false) {
    const std::string project = home_.Path() + "/clean" + std::to_string(++cleanRuns_) + ".db";
    const std::string blob = home_.Path() + "/clean.bin", memory = home_.Path() + "/clean-memory.bin";
    const std::string p = "--project '" + project + "' ";
    EXPECT_EQ(Run("blob " + address_ + " --export " + blob), 0);
    EXPECT_EQ(Run(p + "init"), 0);
    EXPECT_EQ(Run(p + "add-device " + address_), 0);
    EXPECT_EQ(Run(p + "blob " + address_ + " --import " + blob), 0);
    std::string out;
    EXPECT_EQ(Run(p + "download " + address_ + (full ? " --full" : ""), &out), 0) << out;
    EXPECT_NE(out.find("complete download"), std::string::npos) << out;
    EXPECT_EQ(Run(p + "memory " + address_ + " --from 0 --length 65536 --out " + memory), 0);
    return bustest::ReadFileBytes(memory);
  }

  // One character of the first message changed, as the editor would save it.
  void ChangeOneCharacter() {
    const std::string file = home_.Path() + "/edit.bin";
    ASSERT_EQ(Run("blob " + address_ + " --export " + file), 0);
    std::vector<char> bytes = bustest::ReadFileBytes(file);
    ASSERT_EQ(bytes.size(), sizeof(dx470::TYPE_DX470_BLOB_COMPLETE));
    auto* blob = reinterpret_cast<dx470::TYPE_DX470_BLOB_COMPLETE*>(bytes.data());
    blob->Current.Lcd.Messages[0].Text[0][1] = 'X';
    dx470::UpdateBlockInformation(blob->Current);
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    ASSERT_EQ(Run("blob " + address_ + " --import " + file), 0);
  }

  // The parameters-loaded flag in `list`.
  std::string Loaded() {
    std::string out;
    Run("list", &out);
    const size_t at = out.find("\n" + address_ + " ");
    const size_t end = out.find('\n', at + 1);
    const std::string row = at == std::string::npos ? "" : out.substr(at + 1, end - at - 1);
    return row.find(" yes ") != std::string::npos  ? "yes"
           : row.find(" no ") != std::string::npos ? "no"
                                                   : row;
  }

  testsupport::TempHome home_;
  Knxd knxd_;
  Emulator emulator_;
  std::string address_, bus_, counters_;
  int cleanRuns_ = 0;
};

// --- clean downloads

TEST_P(BusDownload, ACompleteDownloadLeavesWhatTheSimulatedDeviceGets) {
  StartDevice();
  std::string out;
  ASSERT_EQ(Download("", &out), 0) << out;
  EXPECT_NE(out.find("complete download (the configuration was never downloaded): 10254 bytes written in 856 "
                     "memory-write telegrams"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("device " + address_ + ": "), std::string::npos) << out;
  EXPECT_NE(out.find(", 0 repeated, 3 connection(s)"), std::string::npos) << out;
  EXPECT_EQ(Loaded(), "yes");
  EXPECT_TRUE(StopDevice() == CleanMemory());
  EXPECT_NE(counters_.find("restarts=1 "), std::string::npos) << counters_;
}

TEST_P(BusDownload, OneChangedCharacterIsAPartialDownloadAndNoChangeWritesOnlyTheBlockInformation) {
  StartDevice();
  std::string out;
  ASSERT_EQ(Download("", &out), 0) << out;
  ChangeOneCharacter();
  ASSERT_EQ(Download("", &out), 0) << out;
  EXPECT_NE(out.find("partial download: 24 bytes written in 5 memory-write telegrams"), std::string::npos)
      << out;
  ASSERT_EQ(Download("--quiet", &out), 0) << out;
  EXPECT_NE(out.find("partial download: 20 bytes written in 2 memory-write telegrams"), std::string::npos)
      << out;
  EXPECT_EQ(out.find("Checking data"), std::string::npos) << out;  // --quiet
  EXPECT_TRUE(StopDevice() == CleanMemory());
  EXPECT_NE(counters_.find("restarts=3 "), std::string::npos) << counters_;
}

TEST_P(BusDownload, VerifyReadsBackEveryWrittenRun) {
  StartDevice();
  std::string out;
  ASSERT_EQ(Download("--verify", &out), 0) << out;
  EXPECT_NE(out.find("complete download"), std::string::npos) << out;
  EXPECT_NE(out.find("856 memory-write telegrams (at most 12 bytes each), 859 read telegrams"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("10254 bytes read back and verified"), std::string::npos) << out;
  EXPECT_TRUE(StopDevice() == CleanMemory());
}

// --- faults the transport layer recovers from

TEST_P(BusDownload, ALostAcknowledgementIsRepeatedAfterThreeSeconds) {
  StartDevice({"--drop-ack", "40"});
  std::string out;
  ASSERT_EQ(Download("", &out), 0) << out;
  EXPECT_NE(out.find(", 1 repeated,"), std::string::npos) << out;
  EXPECT_TRUE(StopDevice() == CleanMemory());
  EXPECT_NE(counters_.find("duplicates=1 "), std::string::npos) << counters_;
}

TEST_P(BusDownload, ARefusedFrameIsRepeatedAtOnce) {
  StartDevice({"--nak", "40"});
  std::string out;
  ASSERT_EQ(Download("", &out), 0) << out;
  EXPECT_NE(out.find(", 1 repeated,"), std::string::npos) << out;
  EXPECT_TRUE(StopDevice() == CleanMemory());
  EXPECT_NE(counters_.find("naks=1 "), std::string::npos) << counters_;
}

// --- faults that end a download: not done, and the next one repairs it

// A complete download is 866 data frames to the device: 5 in the read step
// (mask version, key, 3 reads), 858 in the write step (856 memory writes)
// and 3 in the restart step. The partial one after a changed character
// starts with 5 for its read step, 2 to connect, then its writes: the block
// identifier made invalid, the checksum, the character, ...
constexpr int kCompleteFrames = 866;
constexpr int kCompleteWrites = 856;

TEST_P(BusDownload, ADeviceThatDisconnectsLeavesTheDownloadNotDoneAndTheNextOneComplete) {
  StartDevice({"--disconnect-after", std::to_string(kCompleteFrames + 5 + 2 + 2)});
  std::string out;
  ASSERT_EQ(Download("", &out), 0) << out;
  ChangeOneCharacter();
  ASSERT_EQ(Download("", &out), 1) << out;
  EXPECT_NE(out.find("download step 2: the device " + address_ + " closed the connection; "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("closed the connection; 3 bytes were written, the last at 0x782F"), std::string::npos)
      << out;
  EXPECT_EQ(Loaded(), "no");
  ASSERT_EQ(Download("", &out), 0) << out;
  EXPECT_NE(out.find("complete download (the last download was interrupted)"), std::string::npos) << out;
  EXPECT_EQ(Loaded(), "yes");
  EXPECT_TRUE(StopDevice() == CleanMemory());
}

TEST_P(BusDownload, VerifyFindsACorruptedWriteAndTheNextDownloadRepairsIt) {
  StartDevice({"--corrupt-write", std::to_string(kCompleteWrites + 2)});  // the checksum
  std::string out;
  ASSERT_EQ(Download("", &out), 0) << out;
  ChangeOneCharacter();
  ASSERT_EQ(Download("--verify", &out), 1) << out;
  EXPECT_NE(out.find("download step 2: verify: the device holds 0xA6 at 0x782E where 0x59 was written; "
                     "3 bytes were written, the last at 0x782F"),
            std::string::npos)
      << out;
  EXPECT_EQ(Loaded(), "no");
  ASSERT_EQ(Download("--verify", &out), 0) << out;
  EXPECT_NE(out.find("complete download (the last download was interrupted)"), std::string::npos) << out;
  EXPECT_TRUE(StopDevice() == CleanMemory());
}

TEST_P(BusDownload, ARefusedReadWritesNothingAndAFullDownloadNeedsNoRead) {
  StartDevice({"--refuse-read"});
  std::string out;
  ASSERT_EQ(Download("", &out), 1) << out;
  EXPECT_NE(out.find("the device " + address_ + " refused to read 12 bytes at 0x7820; nothing was written"),
            std::string::npos)
      << out;
  EXPECT_EQ(Loaded(), "no");
  ASSERT_EQ(Download("--full", &out), 0) << out;
  EXPECT_NE(out.find("complete download (a complete download was requested)"), std::string::npos) << out;
  EXPECT_TRUE(StopDevice() == CleanMemory(/*full=*/true));
}

TEST_P(BusDownload, AnotherKeyOrMaskVersionIsRefusedBeforeAnythingIsWritten) {
  StartDevice({"--key", "12345678"});
  std::string out;
  ASSERT_EQ(Download("", &out), 1) << out;
  EXPECT_NE(out.find("did not accept the key 0xFFFFFFFF (access level 15"), std::string::npos) << out;
  EXPECT_NE(out.find("nothing was written"), std::string::npos) << out;
  ASSERT_EQ(Download("--key 12345678", &out), 0) << out;
  EXPECT_TRUE(StopDevice() == CleanMemory());

  StartDevice({"--mask", "0701"});
  ASSERT_EQ(Download("", &out), 1) << out;
  EXPECT_NE(out.find("has mask version 0701, not 0705"), std::string::npos) << out;
  const std::vector<char> memory = StopDevice();
  EXPECT_TRUE(memory == std::vector<char>(65536, 0));
}

TEST_P(BusDownload, CtrlCClosesTheConnectionAndLeavesTheDownloadNotDone) {
  // Paced as a TP1 line, the complete download takes 50 s: Ctrl-C comes
  // while it writes.
  StartDevice({"--tp1"});
  Child host;  // $DX47X_HOME is the test's own (TempHome)
  ASSERT_TRUE(host.Start({testsupport::BinDir() + "/dx47x-host", "download", address_, "--bus", bus_},
                         home_.Path() + "/host.err"));
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  ::kill(host.Pid(), SIGINT);
  // It ends by itself; Child's destructor ends it should it not.
  EXPECT_EQ(host.Wait(std::chrono::seconds(3)), std::optional<int>(1));
  const std::string err = bustest::ReadFileText(home_.Path() + "/host.err");
  EXPECT_NE(err.find("download of " + address_ + " interrupted: download step 2: interrupted (Ctrl-C); "),
            std::string::npos)
      << err;
  EXPECT_EQ(Loaded(), "no");
  ::kill(emulator_.Process().Pid(), SIGUSR1);  // no more pacing
  std::string out;
  ASSERT_EQ(Download("", &out), 0) << out;
  EXPECT_NE(out.find("complete download ("), std::string::npos) << out;
  EXPECT_TRUE(StopDevice() == CleanMemory());
  EXPECT_NE(counters_.find("disconnects-received="), std::string::npos) << counters_;
  EXPECT_EQ(counters_.find("disconnects-received=0 "), std::string::npos) << counters_;
}

INSTANTIATE_TEST_SUITE_P(Routes, BusDownload,
                         ::testing::Values(Route::kKnxdClients, Route::kKnxdTunnel, Route::kTunnel),
                         RouteName);

// Straight to a tunnelling server, a device that is not on the line is
// named at once: the interface confirms no frame to it.
TEST(BusDownloadTunnel, ADeviceThatIsNotThereIsNamed) {
  testsupport::TempHome home;
  auto run = [&](const std::string& args, std::string* out = nullptr) {
    std::string ignored;
    return testsupport::RunCommand(
        "DX47X_HOME='" + home.Path() + "' '" + testsupport::BinDir() + "/dx47x-host' " + args + " 2>&1",
        out ? out : &ignored);
  };
  ASSERT_EQ(run("register"), 0);
  ASSERT_EQ(run("init"), 0);
  ASSERT_EQ(run("add-device 1.1.6"), 0);
  Emulator emulator;
  std::string error;
  ASSERT_TRUE(emulator.Start({"--tunnel", "127.0.0.1:0", "--address", "1.1.5"}, home.Path(), error)) << error;
  std::string out;
  EXPECT_EQ(run("download 1.1.6 --bus ip:" + emulator.Endpoint(), &out), 1);
  EXPECT_NE(out.find("could not deliver the frame to 1.1.6 (no acknowledgement on the line)"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("nothing was written"), std::string::npos) << out;
  EXPECT_EQ(run("download 1.1.6 --bus ip:127.0.0.1:1", &out), 1);  // nobody there
  EXPECT_NE(out.find("dx47x-host: download of 1.1.6 failed: ip:127.0.0.1:1: nothing listens there"),
            std::string::npos)
      << out;
  EXPECT_EQ(run("download 1.1.6 --bus usb:0", &out), 1);
  EXPECT_NE(out.find("unknown bus \"usb:0\""), std::string::npos) << out;
  EXPECT_EQ(run("download 1.1.6 --key 1234", &out), 2) << out;  // a key without a bus
  EXPECT_EQ(run("download 1.1.6 --bus ip:127.0.0.1:1 --key XYZ", &out), 2) << out;
  std::vector<char> memory;
  std::string counters;
  EXPECT_TRUE(emulator.Stop(memory, counters)) << counters;
}

// The tunnel stays alive between downloads: connection-state requests at
// the heartbeat interval (60 s; here 100 ms), answered by the server.
TEST(BusDownloadTunnel, TheTunnelSendsItsHeartbeatWhileIdle) {
  testsupport::TempDir dir;
  Emulator emulator;
  std::string error;
  ASSERT_TRUE(emulator.Start({"--tunnel", "127.0.0.1:0"}, dir.Path(), error)) << error;
  bus::TunnelOptions options;
  options.heartbeat = std::chrono::milliseconds(100);
  std::unique_ptr<bus::Link> link = bus::OpenTunnel(emulator.Endpoint(), error, options);
  ASSERT_NE(link, nullptr) << error;
  bus::Frame frame;
  EXPECT_EQ(link->Receive(frame, bus::Clock::now() + std::chrono::milliseconds(450), error),
            bus::Link::Wait::kTimeout)
      << error;
  // Still usable: a T_Connect to the device goes out and is confirmed.
  EXPECT_TRUE(link->Send(0x1105, {0x80}, error)) << error;
  link.reset();  // disconnects the tunnel
  std::vector<char> memory;
  std::string counters;
  ASSERT_TRUE(emulator.Stop(memory, counters)) << counters;
  const size_t at = counters.find("state-requests=");
  ASSERT_NE(at, std::string::npos) << counters;
  EXPECT_GE(std::stoi(counters.substr(at + 15)), 3) << counters;
  EXPECT_NE(counters.find("connects=1 "), std::string::npos) << counters;
}

}  // namespace
