#pragma once
// Message type codes (receive and send types) and their facts.
#include <cstdint>

namespace dx470 {

enum MessageTypeCode : uint8_t {
  kTypeUnused = 0,
  kTypeStaticText = 1,
  kTypeSwitch = 2,
  kTypeValue8 = 3,
  kTypeTime = 4,
  kTypeDate = 5,
  kTypeFloat16 = 6,
  kTypeFloat32 = 7,
  kTypeCounter8 = 8,
  kTypeCounter16 = 9,
  kTypeCounter32 = 10,
  kTypeCharacter = 11,
  kTypeText14 = 12,
};
inline constexpr uint8_t kTypeCodeCount = 13;

enum class Signedness : uint8_t { Never, Always, UserChoice };

struct MessageTypeInfo {
  const char* name;  // English key, translated by the caller
  bool numeric;
  Signedness sign;
  uint8_t integerDigits;  // default integer digits (numeric types)
  uint8_t decimalDigits;  // default decimal digits (numeric types)
};

// Facts of a type code; unknown codes answer those of "unused".
const MessageTypeInfo& TypeInfo(uint8_t code);
inline const char* TypeName(uint8_t code) { return TypeInfo(code).name; }
inline bool IsNumericType(uint8_t code) { return TypeInfo(code).numeric; }
inline bool IsCounterType(uint8_t code) { return code >= kTypeCounter8 && code <= kTypeCounter32; }

// Whether a message with the given receive type may send `send`.
bool SendTypeAllowed(uint8_t receive, uint8_t send);

struct ValueRange {
  float lower = 0;
  float upper = 0;
};

// Value range of a receive type with the message's signed flag; types
// without a range answer 0..0.
ValueRange TypeValueRange(uint8_t receive, bool signedValues);

struct SendLimits {
  float lower = 0;
  float upper = 0;
  float step = 0;
  bool set = false;  // false: the type has no send limits
};

// Default send limits and step width of a numeric type.
SendLimits DefaultSendLimits(uint8_t type, bool signedValues);

}  // namespace dx470
