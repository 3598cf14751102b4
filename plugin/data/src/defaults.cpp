#include "data/defaults.h"

#include "data/markerfont.h"

#include <algorithm>
#include <cstring>

#include "base/byteorder.h"
#include "data/blockinfo.h"
#include "data/defaultfont.h"
#include "data/markerfont.h"
#include "data/msgtypes.h"
#include "data/packedfont.h"

namespace dx470 {
namespace {

// Value format of a numeric receive type.
void SetValueFormat(MELDUNGSPEZIFISCHE_PARAMETER& record, uint8_t type, bool signedValues) {
  uint8_t* r = Bytes(record);
  const MessageTypeInfo& info = TypeInfo(type);
  r[kRecExponent] = 0;
  r[kRecIntegerDigits] = info.integerDigits;
  r[kRecDecimalDigits] = info.decimalDigits;
  r[kRecValueFlags] = signedValues ? 6 : 4;  // alarm "greater than", signed bit
  std::memset(r + kRecBlock, 0, kRecBlockSize);
}

}  // namespace

void ResetMessage(MELDUNGSPEZIFISCHE_PARAMETER& record, uint8_t receive, uint8_t send, bool signedValues,
                  std::string_view defaultText) {
  const uint8_t position = record.Position;
  std::memset(&record, 0, sizeof record);
  record.Position = position;
  record.Options = kOptionsDefault;
  std::memcpy(record.Text[0], defaultText.data(), std::min(defaultText.size(), sizeof record.Text[0]));

  uint8_t* r = Bytes(record);
  bool limitSigned = false;
  switch (receive) {
    case kTypeSwitch: r[kRecSwitchAlarm] |= 1; break;
    case kTypeValue8: SetValueFormat(record, receive, false); break;
    case kTypeFloat16:
    case kTypeFloat32:
      limitSigned = true;
      SetValueFormat(record, receive, true);
      break;
    case kTypeCounter8:
    case kTypeCounter16:
    case kTypeCounter32:
      limitSigned = signedValues;
      SetValueFormat(record, receive, signedValues);
      break;
    default: break;
  }

  if (receive == kTypeStaticText && send == kTypeSwitch) {
    base::WriteLE32(r + kRecBinarySend, 1);  // send only "1"
    return;
  }
  const SendLimits limits = DefaultSendLimits(send != kTypeUnused ? send : receive, limitSigned);
  if (!limits.set) return;
  base::WriteBEFloat(r + kRecSendLower, limits.lower);
  base::WriteBEFloat(r + kRecSendUpper, limits.upper);
  base::WriteBEFloat(r + kRecSendStep, limits.step);
}

void InitParam(PARAM& param, std::string_view defaultText) {
  std::memset(&param, 0, sizeof param);
  param.Format = kParamFormat;
  std::memcpy(param.Lcd.General.Bytes, kGeneralDefaults, sizeof kGeneralDefaults);
  for (MELDUNGSPEZIFISCHE_PARAMETER& record : param.Lcd.Messages)
    ResetMessage(record, kTypeUnused, kTypeUnused, false, defaultText);

  const std::span<const uint8_t> packed = DefaultFontPacked();
  for (int k = 0; k < kFontCount; ++k) {
    ZEICHENSATZ& font = param.Lcd.Fonts[k];
    Unpack(packed.data(), packed.size(), font);
    const uint8_t second = static_cast<uint8_t>(font.First + 1);
    font.ReplacementChar = 2;
    font.TabChar = 1;
    font.DefaultChar = second;
    if (k == 1) {  // the second font starts with only two characters
      font.Last = second;
      font.UnknownValueChar = second;
      font.DecimalPoint = second;
    }
  }
  UpdateMarkerFont(param.Lcd.Fonts[0].Height);
  UpdateBlockInformation(param);
}

void InitBlob(TYPE_DX470_BLOB_COMPLETE& blob, std::string_view defaultText) {
  blob.Version = kBlobVersion;
  blob.ImageLength = 0;
  blob.Reserved1 = 0;
  std::memset(blob.Reserved2, 0, sizeof blob.Reserved2);
  InitParam(blob.Current, defaultText);
  std::memset(&blob.Downloaded, 0, sizeof blob.Downloaded);
}

}  // namespace dx470
