#include "bus/management.h"

namespace bus {

std::string apci::Name(uint16_t code) {
  if ((code & 0x3C0) == kMemoryRead) return "A_Memory_Read";
  if ((code & 0x3C0) == kMemoryResponse) return "A_Memory_Response";
  if ((code & 0x3C0) == kMemoryWrite) return "A_Memory_Write";
  if ((code & 0x3C0) == kDescriptorRead) return "A_DeviceDescriptor_Read";
  if ((code & 0x3C0) == kDescriptorResponse) return "A_DeviceDescriptor_Response";
  if (code == kRestart) return "A_Restart";
  if (code == kAuthorizeRequest) return "A_Authorize_Request";
  if (code == kAuthorizeResponse) return "A_Authorize_Response";
  return "the service " + Hex(code, 3);
}

namespace {
Bytes Apdu(uint16_t code) { return {uint8_t(code >> 8), uint8_t(code)}; }
}  // namespace

bool Management::Request(const Bytes& apdu, Bytes& answer, uint16_t expected, uint16_t mask,
                         std::string& error) {
  if (!c_.Send(apdu, error)) return false;
  if (!c_.Receive(answer, c_.Timings().idleLimit, error)) return false;
  const uint16_t code = apci::Of(answer);
  if ((code & mask) != expected) {
    error = "the device " + AddressText(c_.Peer()) + " answered " + apci::Name(apci::Of(apdu)) + " with " +
            apci::Name(code);
    return false;
  }
  return true;
}

bool Management::ReadMaskVersion(uint16_t& mask, std::string& error) {
  Bytes answer;
  if (!Request(Apdu(apci::kDescriptorRead), answer, apci::kDescriptorResponse, 0x3FF, error)) return false;
  if (answer.size() != 4) {
    error = "the device " + AddressText(c_.Peer()) + " answered the mask version with " +
            std::to_string(answer.size() - 2) + " bytes instead of 2";
    return false;
  }
  mask = uint16_t(answer[2] << 8 | answer[3]);
  return true;
}

bool Management::Authorize(uint32_t key, uint8_t& level, std::string& error) {
  Bytes apdu = Apdu(apci::kAuthorizeRequest);
  apdu.insert(apdu.end(), {0x00, uint8_t(key >> 24), uint8_t(key >> 16), uint8_t(key >> 8), uint8_t(key)});
  Bytes answer;
  if (!Request(apdu, answer, apci::kAuthorizeResponse, 0x3FF, error)) return false;
  if (answer.size() != 3) {
    error = "the device " + AddressText(c_.Peer()) + " answered the authorisation with " +
            std::to_string(answer.size() - 2) + " bytes instead of 1";
    return false;
  }
  level = answer[2];
  return true;
}

bool Management::WriteMemory(uint16_t address, const uint8_t* data, uint32_t n, std::string& error) {
  if (n == 0 || n > kMaxMemoryData || uint32_t(address) + n > 0x10000) {
    error = "a memory write of " + std::to_string(n) + " bytes at " + Hex(address, 4) + " is not possible";
    return false;
  }
  Bytes apdu = Apdu(uint16_t(apci::kMemoryWrite | n));
  apdu.push_back(uint8_t(address >> 8));
  apdu.push_back(uint8_t(address));
  apdu.insert(apdu.end(), data, data + n);
  return c_.Send(apdu, error);
}

bool Management::ReadMemory(uint16_t address, uint8_t* data, uint32_t n, std::string& error) {
  const std::string device = "the device " + AddressText(c_.Peer());
  if (n == 0 || n > kMaxMemoryData || uint32_t(address) + n > 0x10000) {
    error = "a memory read of " + std::to_string(n) + " bytes at " + Hex(address, 4) + " is not possible";
    return false;
  }
  Bytes apdu = Apdu(uint16_t(apci::kMemoryRead | n));
  apdu.push_back(uint8_t(address >> 8));
  apdu.push_back(uint8_t(address));
  Bytes answer;
  if (!Request(apdu, answer, apci::kMemoryResponse, 0x3C0, error)) return false;
  if (answer.size() < 4) {
    error = device + " sent a memory response of " + std::to_string(answer.size()) + " octets";
    return false;
  }
  const uint32_t got = answer[1] & 0x3F;
  const uint16_t at = uint16_t(answer[2] << 8 | answer[3]);
  if (got == 0) {
    error = device + " refused to read " + std::to_string(n) + " bytes at " + Hex(address, 4);
    return false;
  }
  if (at != address) {
    error = device + " answered the read of " + Hex(address, 4) + " for " + Hex(at, 4);
    return false;
  }
  if (got != n) {
    error = device + " answered the read of " + std::to_string(n) + " bytes at " + Hex(address, 4) +
            " with " + std::to_string(got);
    return false;
  }
  if (answer.size() != 4 + n) {
    error = device + " announced " + std::to_string(n) + " bytes at " + Hex(address, 4) + " but sent " +
            std::to_string(answer.size() - 4);
    return false;
  }
  std::copy(answer.begin() + 4, answer.end(), data);
  return true;
}

bool Management::Restart(std::string& error) {
  if (!c_.Send(Apdu(apci::kRestart), error, /*endsConnection=*/true)) return false;
  c_.Drop();
  return true;
}

}  // namespace bus
