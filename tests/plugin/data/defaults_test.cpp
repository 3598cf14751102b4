// Defaults of a new device and of new messages, and the block information.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "base/byteorder.h"
#include "data/blockinfo.h"
#include "data/checksum.h"
#include "data/defaults.h"
#include "data/msgtypes.h"
#include "data/packedfont.h"

namespace dx470 {
namespace {

float FloatAt(const MELDUNGSPEZIFISCHE_PARAMETER& m, size_t offset) {
  return base::ReadBEFloat(Bytes(m) + offset);
}

std::unique_ptr<TYPE_DX470_BLOB_COMPLETE> NewBlob() {
  auto blob = std::make_unique<TYPE_DX470_BLOB_COMPLETE>();
  std::memset(blob.get(), 0x77, sizeof *blob);
  InitBlob(*blob, "Text?");
  return blob;
}

TEST(Defaults, NewDevice) {
  auto blob = NewBlob();
  EXPECT_EQ(blob->Version, kBlobVersion);
  EXPECT_EQ(blob->ImageLength, 0);
  EXPECT_EQ(blob->Reserved1, 0);
  const PARAM& p = blob->Current;
  EXPECT_EQ(p.Format, 1);
  for (int i = 0; i < kSlotCount; ++i) {
    EXPECT_EQ(p.MessageKind[i], 0);
    EXPECT_EQ(p.MessageType[i], 0);
    const MELDUNGSPEZIFISCHE_PARAMETER& m = p.Lcd.Messages[i];
    EXPECT_EQ(m.Position, 0);
    EXPECT_EQ(std::memcmp(m.Text[0], "Text?\0", 6), 0);
    EXPECT_EQ(m.Options, 128);
  }
  const uint8_t* block = Bytes(p.Lcd.Block);
  EXPECT_EQ(std::vector<uint8_t>(block, block + 6), (std::vector<uint8_t>{2, 0, 0x00, 0x14, 0x00, 0x23}));
  EXPECT_EQ(p.Lcd.Block.GeneralChecksum, Fletcher16(kGeneralDefaults, 15));
  EXPECT_EQ(std::memcmp(p.Lcd.General.Bytes, kGeneralDefaults, 15), 0);
  const std::vector<uint8_t> zero(sizeof(PARAM), 0);
  EXPECT_EQ(std::memcmp(&blob->Downloaded, zero.data(), zero.size()), 0);
  EXPECT_EQ(std::memcmp(blob->Reserved2, zero.data(), 6), 0);
}

TEST(Defaults, FontsOfANewDevice) {
  auto blob = NewBlob();
  const ZEICHENSATZ& f1 = blob->Current.Lcd.Fonts[0];
  const ZEICHENSATZ& f2 = blob->Current.Lcd.Fonts[1];
  EXPECT_EQ(f1.Height, 16);
  EXPECT_EQ(f1.First, 32);
  EXPECT_EQ(f1.Last, 255);
  EXPECT_EQ(f1.DefaultChar, 33);
  EXPECT_EQ(f1.ReplacementChar, 2);
  EXPECT_EQ(f1.TabChar, 1);
  EXPECT_EQ(f2.Last, 33);
  EXPECT_EQ(f2.DefaultChar, 33);
  EXPECT_EQ(f2.UnknownValueChar, 33);
  EXPECT_EQ(f2.DecimalPoint, 33);
  EXPECT_EQ(std::memcmp(f1.Glyphs, f2.Glyphs, sizeof f1.Glyphs), 0);
}

TEST(Defaults, LongDefaultTextStaysInTheFirstRow) {
  MELDUNGSPEZIFISCHE_PARAMETER m{};
  ResetMessage(m, 0, 0, false, std::string(40, 'x'));
  EXPECT_EQ(m.Text[0][29], 'x');
  EXPECT_EQ(m.Text[1][0], 0);
}

TEST(ResetMessage, SignedCounter16) {
  MELDUNGSPEZIFISCHE_PARAMETER m{};
  std::memset(&m, 0x33, sizeof m);
  m.Position = 5;
  ResetMessage(m, kTypeCounter16, kTypeCounter16, true, "Text?");
  const uint8_t* r = Bytes(m);
  EXPECT_EQ(m.Position, 5);  // kept
  EXPECT_EQ(m.Options, 128);
  EXPECT_EQ(std::vector<uint8_t>(r + 100, r + 104), (std::vector<uint8_t>{0, 5, 0, 6}));
  EXPECT_EQ(r[104], 0);
  EXPECT_EQ(r[209], 0);
  EXPECT_EQ(FloatAt(m, 220), -32768.0f);
  EXPECT_EQ(FloatAt(m, 224), 32767.0f);
  EXPECT_EQ(FloatAt(m, 228), 13107.0f);
  EXPECT_EQ(r[232], 0);
  EXPECT_EQ(m.Text[0][5], 0);  // rest of the old text gone
}

TEST(ResetMessage, StaticTextSendingSwitch) {
  MELDUNGSPEZIFISCHE_PARAMETER m{};
  ResetMessage(m, kTypeStaticText, kTypeSwitch, false, "Text?");
  EXPECT_EQ(base::ReadLE32(Bytes(m) + kRecBinarySend), 1u);
  EXPECT_EQ(base::ReadBE32(Bytes(m) + 224), 0u);
  EXPECT_EQ(base::ReadBE32(Bytes(m) + 228), 0u);
}

TEST(ResetMessage, TimeKeepsAllLimitsZero) {
  MELDUNGSPEZIFISCHE_PARAMETER m{};
  ResetMessage(m, kTypeTime, kTypeUnused, false, "Text?");
  for (size_t i = 100; i < 236; ++i) EXPECT_EQ(Bytes(m)[i], 0) << i;
}

TEST(ResetMessage, WithoutSendTypeTheReceiveTypeGivesTheLimits) {
  MELDUNGSPEZIFISCHE_PARAMETER m{};
  ResetMessage(m, kTypeFloat16, kTypeUnused, false, "Text?");
  EXPECT_EQ(Bytes(m)[103], 6);  // always signed
  EXPECT_EQ(FloatAt(m, 220), -671088.625f);
  EXPECT_EQ(FloatAt(m, 228), 268369.90625f);
  ResetMessage(m, kTypeSwitch, kTypeSwitch, false, "Text?");
  EXPECT_EQ(Bytes(m)[160], 1);
  EXPECT_EQ(FloatAt(m, 224), 0.0f);
}

TEST(BlockInformation, CountsSlotsWithAReceiveType) {
  auto blob = NewBlob();
  PARAM& p = blob->Current;
  p.MessageKind[0] = kTypeTime;
  p.MessageKind[7] = kTypeDate;
  p.MessageKind[15] = kTypeSwitch;
  p.Lcd.Messages[3].Position = 1;  // positions do not count
  UpdateBlockInformation(p);
  EXPECT_EQ(p.Lcd.Block.MessageCount, 3);
  EXPECT_EQ(p.Lcd.Block.MessagesChecksum, Fletcher16(Bytes(p.Lcd.Messages), kMessagesSize));
}

// A device image buffer as the image build makes it: the head of PARAM,
// then both fonts packed, with their offsets and checksum.
std::vector<uint8_t> ImageOf(PARAM& p) {
  std::vector<uint8_t> image(kImageBufferSize);
  size_t at = kLcdFontsOffset;
  for (int k = 0; k < 2; ++k) {
    base::WriteBE16(k == 0 ? p.Lcd.Block.Font1Offset : p.Lcd.Block.Font2Offset, static_cast<uint16_t>(at));
    const FontResult r =
        Pack(p.Lcd.Fonts[k], image.data() + kImagePrefixSize + at, image.size() - kImagePrefixSize - at);
    EXPECT_TRUE(r.ok());
    at += r.size;
  }
  p.Lcd.Block.FontsChecksum =
      Fletcher16(image.data() + kImagePrefixSize + kLcdFontsOffset, at - kLcdFontsOffset);
  std::memcpy(image.data(), &p, kParamHeadSize);
  image.resize(kImagePrefixSize + at);
  return image;
}

TEST(BlockInformation, CheckFindsEachChangedPart) {
  auto blob = NewBlob();
  auto image = ImageOf(blob->Current);
  EXPECT_TRUE(CheckBlockInformation(image.data(), image.size()));

  auto fontChanged = image;
  fontChanged.back() ^= 0x40;
  EXPECT_FALSE(CheckBlockInformation(fontChanged.data(), fontChanged.size()));
  // Only the third checksum is off: fixing it makes the buffer pass again.
  const uint16_t fonts = Fletcher16(fontChanged.data() + 34 + 3811, fontChanged.size() - 34 - 3811);
  base::WriteLE16(fontChanged.data() + 34 + 16, fonts);
  EXPECT_TRUE(CheckBlockInformation(fontChanged.data(), fontChanged.size()));

  auto generalChanged = image;
  generalChanged[34 + 20] ^= 1;
  EXPECT_FALSE(CheckBlockInformation(generalChanged.data(), generalChanged.size()));
  auto messageChanged = image;
  messageChanged[34 + 35 + 236 * 4 + 10] ^= 1;
  EXPECT_FALSE(CheckBlockInformation(messageChanged.data(), messageChanged.size()));
}

TEST(BlockInformation, CheckRefusesOffsetsOutsideTheBuffer) {
  auto blob = NewBlob();
  auto image = ImageOf(blob->Current);
  EXPECT_FALSE(CheckBlockInformation(image.data(), 53));
  EXPECT_FALSE(CheckBlockInformation(nullptr, 0));
  EXPECT_FALSE(CheckBlockInformation(image.data(), 34 + 3811 - 1));  // messages cut
  for (size_t at : {size_t(2), size_t(4), size_t(6)}) {
    auto bad = image;
    base::WriteBE16(bad.data() + 34 + at, 0xFFF0);
    EXPECT_FALSE(CheckBlockInformation(bad.data(), bad.size())) << at;
  }
  // A fonts offset right at the end checks an empty range (checksum 0).
  auto atEnd = image;
  base::WriteBE16(atEnd.data() + 34 + 6, static_cast<uint16_t>(atEnd.size() - 34));
  base::WriteLE16(atEnd.data() + 34 + 16, 0);
  EXPECT_TRUE(CheckBlockInformation(atEnd.data(), atEnd.size()));
}

}  // namespace
}  // namespace dx470
