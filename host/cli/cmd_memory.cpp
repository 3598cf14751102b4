// memory: a hex dump of a simulated device's memory, or its raw bytes.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "base/strings.h"
#include "cli.h"
#include "host/simulated_device.h"
#include "printable.h"
#include "win/file.h"

namespace cli {
namespace {

// "0x7820" or "7820": hexadecimal either way.
uint32_t HexArg(const std::string& what, const std::string& text) {
  std::string digits = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0 ? text.substr(2) : text;
  char* end = nullptr;
  unsigned long v = std::strtoul(digits.c_str(), &end, 16);
  if (digits.empty() || !std::isxdigit(static_cast<unsigned char>(digits[0])) || *end != '\0' ||
      v >= host::SimulatedDevice::kMemorySize)
    throw UsageError{"memory: " + what + " takes a hexadecimal address below 0x10000, e.g. 0x7820"};
  return uint32_t(v);
}

uint32_t LengthArg(const std::string& text) {
  char* end = nullptr;
  unsigned long v = std::strtoul(text.c_str(), &end, 0);
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) || *end != '\0' || v == 0 ||
      v > host::SimulatedDevice::kMemorySize)
    throw UsageError{"memory: --length takes a number of bytes from 1 to 65536"};
  return uint32_t(v);
}

}  // namespace

int CmdMemory(Context& ctx) {
  std::optional<std::string> address, out;
  uint32_t from = 0x7820, length = 256;
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    if (a == "--from")
      from = HexArg("--from", OptionValue("memory", ctx.args, &i));
    else if (a == "--length")
      length = LengthArg(OptionValue("memory", ctx.args, &i));
    else if (a == "--out")
      out = OptionValue("memory", ctx.args, &i);
    else if (a.rfind("--", 0) == 0 || address)
      throw UsageError{"memory: unexpected argument " + a};
    else
      address = a;
  }
  if (!address) throw UsageError{"memory: the device address is missing"};
  host::PhysicalAddress target = AddressArg("memory", *address);
  const uint32_t asked = length;
  if (from + length > host::SimulatedDevice::kMemorySize) length = host::SimulatedDevice::kMemorySize - from;
  const std::string shortened =
      length < asked
          ? base::Format(" (%u of the %u bytes asked for: the memory ends at 0xFFFF)", length, asked)
          : std::string();

  host::Project project = host::Project::Open(ctx.projectPath);
  host::SimulatedDevice device(project, project.DeviceAt(target));
  const uint8_t* mem = device.Memory() + from;
  if (out) {
    if (DWORD e = win::WriteFileAtomic(*out, mem, length); e != ERROR_SUCCESS)
      return Fail("cannot write " + *out + ": " + base::MessageText(HRESULT_FROM_WIN32(e)));
    std::printf("wrote %u bytes from 0x%04X to %s%s\n", length, from, Printable(*out).c_str(),
                shortened.c_str());
    return kSuccess;
  }
  std::printf("# device %s, %lld restart(s)%s%s\n", target.ToString().c_str(),
              static_cast<long long>(device.RestartCount()), device.LastRestart().empty() ? "" : ", last ",
              Printable(device.LastRestart()).c_str());
  if (!shortened.empty()) std::printf("#%s\n", shortened.c_str());
  for (uint32_t row = 0; row < length; row += 16) {
    std::string hex, text;
    for (uint32_t i = row; i < row + 16; ++i) {
      if (i < length) {
        hex += base::Format("%02X ", mem[i]);
        text += mem[i] >= 0x20 && mem[i] < 0x7F ? char(mem[i]) : '.';
      } else {
        hex += "   ";
      }
    }
    std::printf("%04X  %s |%s|\n", from + row, hex.c_str(), text.c_str());
  }
  return kSuccess;
}

}  // namespace cli
