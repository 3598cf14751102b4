#include "download/lcdimage.h"

#include <cstring>
#include <memory>
#include <new>

#include "base/byteorder.h"
#include "data/checksum.h"
#include "data/packedfont.h"

namespace dx470 {
namespace {

// Block information bytes that hold each font's offset.
uint8_t* FontOffsetField(PARAM& param, int k) {
  return k == 0 ? param.Lcd.Block.Font1Offset : param.Lcd.Block.Font2Offset;
}

}  // namespace

HRESULT ImageResult::hr() const {
  switch (status) {
    case ImageStatus::Ok: return S_OK;
    case ImageStatus::TooLarge: return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    case ImageStatus::BadFont1:
    case ImageStatus::BadFont2:
    case ImageStatus::InconsistentFont1:
    case ImageStatus::InconsistentFont2:
    case ImageStatus::BadImage: return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    case ImageStatus::OutOfMemory: return E_OUTOFMEMORY;
  }
  return E_UNEXPECTED;
}

const char* ImageResult::text() const {
  switch (status) {
    case ImageStatus::Ok: return "";
    case ImageStatus::TooLarge:
      return "The fonts are too large for the display memory. Use fewer or smaller characters.";
    case ImageStatus::InconsistentFont1:
      return "Font 1 is damaged: its height, its character range and the heights of its characters "
             "contradict each other.";
    case ImageStatus::InconsistentFont2:
      return "Font 2 is damaged: its height, its character range and the heights of its characters "
             "contradict each other.";
    case ImageStatus::BadFont1: return "Font 1 contains a character with an invalid width or height.";
    case ImageStatus::BadFont2: return "Font 2 contains a character with an invalid width or height.";
    case ImageStatus::BadImage: return "The display image is incomplete or damaged.";
    case ImageStatus::OutOfMemory: return "Not enough memory.";
  }
  return "";
}

ImageResult LcdImageLength(const PARAM& param) {
  size_t length = kLcdFontsOffset;
  for (int k = 0; k < kFontCount; ++k) {
    FontResult font = PackedSize(param.Lcd.Fonts[k]);
    if (!font.ok()) return {k == 0 ? ImageStatus::BadFont1 : ImageStatus::BadFont2, 0};
    // A font whose packed form would read back differently would leave the
    // device with an image that no reader (the device included) can take.
    if (!IsSelfConsistent(param.Lcd.Fonts[k]))
      return {k == 0 ? ImageStatus::InconsistentFont1 : ImageStatus::InconsistentFont2, 0};
    length += font.size;
  }
  if (length > kMaxImageLength) return {ImageStatus::TooLarge, static_cast<uint16_t>(length)};
  return {ImageStatus::Ok, static_cast<uint16_t>(length)};
}

ImageResult BuildLcdImage(PARAM& param, ImageBuffer& buffer) {
  // Refuse before anything changes: a failing Pack below would leave the
  // block information half updated.
  ImageResult result = LcdImageLength(param);
  if (!result.ok()) return result;

  size_t offset = kLcdFontsOffset;
  for (int k = 0; k < kFontCount; ++k) {
    base::WriteBE16(FontOffsetField(param, k), static_cast<uint16_t>(offset));
    const size_t at = kImagePrefixSize + offset;
    FontResult font = Pack(param.Lcd.Fonts[k], buffer.data() + at, buffer.size() - at);
    offset += font.size;
  }
  const size_t fontsAt = kImagePrefixSize + kLcdFontsOffset;
  param.Lcd.Block.FontsChecksum = Fletcher16(buffer.data() + fontsAt, offset - kLcdFontsOffset);
  std::memcpy(buffer.data(), &param, kParamHeadSize);
  return result;
}

ImageResult BuildLcdImage(const uint8_t* buffer, size_t size, PARAM& param) {
  if (buffer == nullptr || size < kParamHeadSize) return {ImageStatus::BadImage, 0};
  // Work on a copy so that a damaged image leaves `param` as it was.
  std::unique_ptr<PARAM> work(new (std::nothrow) PARAM);
  if (!work) return {ImageStatus::OutOfMemory, 0};
  std::memset(work.get(), 0, sizeof(PARAM));
  std::memcpy(work.get(), buffer, kParamHeadSize);
  for (int k = 0; k < kFontCount; ++k) {
    const size_t at = kImagePrefixSize + base::ReadBE16(FontOffsetField(*work, k));
    if (at >= size) return {ImageStatus::BadImage, 0};
    FontResult font = Unpack(buffer + at, size - at, work->Lcd.Fonts[k]);
    if (!font.ok()) return {ImageStatus::BadImage, 0};
  }
  std::memcpy(&param, work.get(), sizeof(PARAM));
  return {ImageStatus::Ok, 0};
}

}  // namespace dx470
