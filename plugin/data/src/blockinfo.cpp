#include "data/blockinfo.h"

#include "base/byteorder.h"
#include "data/checksum.h"

namespace dx470 {

void UpdateBlockInformation(PARAM& param) {
  BLOCKINFORMATIONEN& block = param.Lcd.Block;
  block.Identifier = 2;
  uint8_t count = 0;
  for (uint8_t kind : param.MessageKind)
    if (kind != 0) ++count;
  block.MessageCount = count;
  base::WriteBE16(block.GeneralOffset, kLcdGeneralOffset);
  base::WriteBE16(block.MessagesOffset, kLcdMessagesOffset);
  block.GeneralChecksum = Fletcher16(Bytes(param.Lcd.General), sizeof param.Lcd.General);
  block.MessagesChecksum = Fletcher16(Bytes(param.Lcd.Messages), kMessagesSize);
}

bool CheckBlockInformation(const uint8_t* buffer, size_t n) {
  constexpr size_t kBlock = kImagePrefixSize;
  if (buffer == nullptr || n < kBlock + sizeof(BLOCKINFORMATIONEN)) return false;
  const uint8_t* block = buffer + kBlock;

  // The range [34 + offset, 34 + offset + size) must lie inside the buffer.
  auto matches = [&](size_t offsetAt, size_t size, size_t checksumAt) {
    const size_t start = kBlock + base::ReadBE16(block + offsetAt);
    if (start > n || size > n - start) return false;
    return Fletcher16(buffer + start, size) == base::ReadLE16(block + checksumAt);
  };
  if (!matches(2, sizeof(ALLGEMEINE), 12)) return false;
  if (!matches(4, kMessagesSize, 14)) return false;
  const size_t fontsStart = kBlock + base::ReadBE16(block + 6);
  return fontsStart <= n && matches(6, n - fontsStart, 16);
}

}  // namespace dx470
