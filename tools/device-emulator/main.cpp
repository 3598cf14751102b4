// dx47x-device-emulator: one bus device (64 KiB memory, mask version 0705,
// a restart counter) for downloads without hardware, reachable as a client
// of a knxd daemon (raw TPDU socket) or through its own KNXnet/IP
// tunnelling server.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "bus/link.h"
#include "bus/socket.h"
#include "emulated_device.h"
#include "tp1_line.h"
#include "tunnel_server.h"

namespace {

const char kUsage[] =
    "usage: dx47x-device-emulator (--knxd PATH | --tunnel HOST:PORT) [OPTIONS]\n"
    "  --knxd PATH            be a client of the knxd at PATH (or tcp:HOST:PORT), raw TPDU socket;\n"
    "                         knxd assigns the device's address\n"
    "  --tunnel HOST:PORT     be a KNXnet/IP tunnelling server there (port 0: a free one)\n"
    "  --address A.L.D        the device's individual address behind the tunnel (1.1.5)\n"
    "  --mask HEX             mask version (0705)        --key HEX   authorisation key (FFFFFFFF)\n"
    "  --tp1                  each frame takes its TP1 line time (9600 bit/s)\n"
    "  --drop-ack N           do not acknowledge the Nth data frame (it is handled)\n"
    "  --nak N                refuse the Nth data frame with T_NAK\n"
    "  --disconnect-after N   disconnect after the Nth data frame\n"
    "  --corrupt-write N      store the first byte of the Nth memory write inverted\n"
    "  --refuse-read          answer every memory read with length 0\n"
    "  --memory-in FILE       start with this memory (up to 65536 bytes)\n"
    "  --memory-out FILE      write the memory there at exit (SIGTERM, SIGINT)\n"
    "Prints \"ready ...\" on standard output once it can be reached; at exit, its\n"
    "counters on standard error. SIGUSR1 ends the --tp1 pacing.\n";

std::atomic<bool> gStop{false};
std::atomic<bool> gUnpace{false};
void OnSignal(int) { gStop = true; }
void OnUnpace(int) { gUnpace = true; }

int Usage(const std::string& message) {
  std::fprintf(stderr, "dx47x-device-emulator: %s\n%s", message.c_str(), kUsage);
  return 2;
}

bool Number(const std::string& text, int base, uint64_t max, uint64_t& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(text.c_str(), &end, base);
  if (*end || errno || v > max || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  out = v;
  return true;
}

bool WriteMemory(const std::string& path, const uint8_t* memory) {
  const std::string temporary = path + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(memory), emulator::EmulatedDevice::kMemorySize);
    if (!out.good()) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string knxd, tunnel, memoryIn, memoryOut;
  emulator::DeviceSettings settings;
  bool paced = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    auto count = [&](uint64_t& out) {
      std::string v;
      return value(v) && Number(v, 10, UINT64_MAX, out) && out > 0;
    };
    std::string v;
    uint64_t n = 0;
    if (a == "--knxd") {
      if (!value(knxd)) return Usage("--knxd needs a socket path");
    } else if (a == "--tunnel") {
      if (!value(tunnel)) return Usage("--tunnel needs HOST:PORT");
    } else if (a == "--address") {
      if (!value(v) || !bus::ParseAddress(v, settings.address))
        return Usage("--address takes A.L.D, e.g. 1.1.5");
    } else if (a == "--mask") {
      if (!value(v) || !Number(v, 16, 0xFFFF, n)) return Usage("--mask takes 4 hex digits, e.g. 0705");
      settings.maskVersion = uint16_t(n);
    } else if (a == "--key") {
      if (!value(v) || !Number(v, 16, 0xFFFFFFFF, n)) return Usage("--key takes up to 8 hex digits");
      settings.key = uint32_t(n);
    } else if (a == "--tp1") {
      paced = true;
    } else if (a == "--drop-ack") {
      if (!count(settings.faults.dropAck)) return Usage("--drop-ack takes a number from 1");
    } else if (a == "--nak") {
      if (!count(settings.faults.nak)) return Usage("--nak takes a number from 1");
    } else if (a == "--disconnect-after") {
      if (!count(settings.faults.disconnectAfter)) return Usage("--disconnect-after takes a number from 1");
    } else if (a == "--corrupt-write") {
      if (!count(settings.faults.corruptWrite)) return Usage("--corrupt-write takes a number from 1");
    } else if (a == "--refuse-read") {
      settings.faults.refuseRead = true;
    } else if (a == "--memory-in") {
      if (!value(memoryIn)) return Usage("--memory-in needs a file");
    } else if (a == "--memory-out") {
      if (!value(memoryOut)) return Usage("--memory-out needs a file");
    } else if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      return Usage("unexpected argument " + a);
    }
  }
  if (knxd.empty() == tunnel.empty()) return Usage("give either --knxd PATH or --tunnel HOST:PORT");

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  action.sa_handler = OnUnpace;
  sigaction(SIGUSR1, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  emulator::Tp1Line line(paced);
  std::unique_ptr<bus::Link> link;
  std::unique_ptr<emulator::TunnelServer> server;
  std::unique_ptr<emulator::EmulatedDevice> device;
  std::string error;
  bool linkFailed = false;

  auto output = [&](uint16_t destination, const bus::Bytes& tpdu) {
    if (server) {
      server->Indicate(destination, tpdu);
    } else if (link && !linkFailed) {
      line.Carry(tpdu.size());
      std::string e;
      if (!link->Send(destination, tpdu, e)) {
        std::fprintf(stderr, "dx47x-device-emulator: %s\n", e.c_str());
        linkFailed = true;
      }
    }
  };
  device = std::make_unique<emulator::EmulatedDevice>(settings, output);
  if (!memoryIn.empty()) {
    std::ifstream in(memoryIn, std::ios::binary);
    if (!in) return Usage("cannot read " + memoryIn);
    in.read(reinterpret_cast<char*>(device->Memory()), emulator::EmulatedDevice::kMemorySize);
  }

  if (!knxd.empty()) {
    // knxd started just before may not listen yet: try for two seconds.
    const auto giveUp = bus::Clock::now() + std::chrono::seconds(2);
    while (!(link = bus::OpenLink("knxd:" + knxd, error)) && bus::Clock::now() < giveUp && !gStop)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!link) {
      std::fprintf(stderr, "dx47x-device-emulator: %s\n", error.c_str());
      return 1;
    }
    link->SetInterrupt(&gStop);
    std::printf("ready knxd %s\n", knxd.c_str());
  } else {
    server = std::make_unique<emulator::TunnelServer>(
        settings.address, line,
        [&](uint16_t source, const bus::Bytes& tpdu) { device->Receive(source, tpdu); });
    if (!server->Open(tunnel, error)) {
      std::fprintf(stderr, "dx47x-device-emulator: %s\n", error.c_str());
      return 1;
    }
    std::printf("ready tunnel %s address %s\n", server->Endpoint().c_str(),
                bus::AddressText(settings.address).c_str());
  }
  std::fflush(stdout);

  int status = 0;
  while (!gStop && !linkFailed) {
    if (gUnpace) line.StopPacing();
    const auto deadline = std::min(device->NextTimer(), bus::Clock::now() + std::chrono::milliseconds(200));
    if (link) {
      bus::Frame frame;
      switch (link->Receive(frame, deadline, error)) {
        case bus::Link::Wait::kFrame:
          line.Carry(frame.tpdu.size());
          device->Receive(frame.source, frame.tpdu);
          break;
        case bus::Link::Wait::kTimeout: break;
        case bus::Link::Wait::kFailed:
          if (!gStop) {
            std::fprintf(stderr, "dx47x-device-emulator: %s\n", error.c_str());
            status = 1;
          }
          linkFailed = true;
          break;
      }
    } else if (bus::WaitReadable(server->Fd(), deadline, &gStop) == bus::Readable::kYes) {
      server->Poll();
    }
    device->Tick();
  }

  if (!memoryOut.empty() && !WriteMemory(memoryOut, device->Memory())) {
    std::fprintf(stderr, "dx47x-device-emulator: cannot write %s\n", memoryOut.c_str());
    status = 1;
  }
  const emulator::DeviceCounters& c = device->Counters();
  std::fprintf(
      stderr,
      "emulator: connects=%llu data=%llu duplicates=%llu naks=%llu acks-dropped=%llu writes=%llu "
      "reads=%llu repetitions=%llu restarts=%llu idle-disconnects=%llu disconnects-received=%llu "
      "state-requests=%llu\n",
      (unsigned long long)c.connects, (unsigned long long)c.dataFrames, (unsigned long long)c.duplicates,
      (unsigned long long)c.naksSent, (unsigned long long)c.acksDropped, (unsigned long long)c.memoryWrites,
      (unsigned long long)c.memoryReads, (unsigned long long)c.repetitions, (unsigned long long)c.restarts,
      (unsigned long long)c.idleDisconnects, (unsigned long long)c.disconnectsReceived,
      (unsigned long long)(server ? server->StateRequests() : 0));
  return status;
}
