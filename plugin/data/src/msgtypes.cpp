#include "data/msgtypes.h"

namespace dx470 {
namespace {

constexpr MessageTypeInfo kTypes[kTypeCodeCount] = {
    {"unused", false, Signedness::Never, 0, 0},
    {"static text", false, Signedness::Never, 0, 0},
    {"switch On/Off", false, Signedness::Never, 0, 0},
    {"value 8 bit", true, Signedness::Never, 3, 0},
    {"time", false, Signedness::Never, 0, 0},
    {"date", false, Signedness::Never, 0, 0},
    {"floating value 16 bit", true, Signedness::Always, 6, 2},
    {"floating value 32 bit", true, Signedness::Always, 8, 0},
    {"counter 8 bit", true, Signedness::UserChoice, 3, 0},
    {"counter 16 bit", true, Signedness::UserChoice, 5, 0},
    {"counter 32 bit", true, Signedness::UserChoice, 8, 0},
    {"character", false, Signedness::Never, 0, 0},
    {"text (14 characters)", false, Signedness::Never, 0, 0},
};

}  // namespace

const MessageTypeInfo& TypeInfo(uint8_t code) {
  return code < kTypeCodeCount ? kTypes[code] : kTypes[kTypeUnused];
}

bool SendTypeAllowed(uint8_t receive, uint8_t send) {
  if (send == kTypeUnused) return true;
  if (receive == kTypeStaticText) return send == kTypeSwitch || send == kTypeCharacter || send == kTypeText14;
  if (receive == kTypeUnused || receive == kTypeTime || receive == kTypeDate || receive >= kTypeCodeCount)
    return false;
  return send == receive;
}

ValueRange TypeValueRange(uint8_t receive, bool signedValues) {
  switch (receive) {
    case kTypeValue8: return {0, 255};
    case kTypeFloat16: return {-671088.6f, 670760.94f};
    case kTypeFloat32: return {-16500000, 16500000};
    case kTypeCounter8: return signedValues ? ValueRange{-128, 127} : ValueRange{0, 255};
    case kTypeCounter16: return signedValues ? ValueRange{-32768, 32767} : ValueRange{0, 65535};
    case kTypeCounter32: return signedValues ? ValueRange{-16500000, 16500000} : ValueRange{0, 16500000};
    default: return {};
  }
}

SendLimits DefaultSendLimits(uint8_t type, bool signedValues) {
  switch (type) {
    case kTypeValue8: return {0, 255, 51, true};
    case kTypeFloat16: return {-671088.625f, 670760.9375f, 268369.90625f, true};
    case kTypeFloat32: return {-16500000, 16500000, 6600000, true};
    case kTypeCounter8: return signedValues ? SendLimits{-128, 127, 51, true} : SendLimits{0, 255, 51, true};
    case kTypeCounter16:
      return signedValues ? SendLimits{-32768, 32767, 13107, true} : SendLimits{0, 65535, 13107, true};
    case kTypeCounter32:
      return signedValues ? SendLimits{-16500000, 16500000, 6600000, true}
                          : SendLimits{0, 16500000, 3300000, true};
    default: return {};
  }
}

}  // namespace dx470
