#include "data/fontfile.h"

#include <memory>

#include "base/byteorder.h"
#include "data/checksum.h"

namespace dx470 {

FontResult BuildFontFile(const ZEICHENSATZ& font, std::vector<uint8_t>& bytes) {
  FontResult size = PackedSize(font);
  if (!size.ok()) return size;
  std::vector<uint8_t> out(kFontFileHeaderSize + size.size);
  FontResult packed = Pack(font, out.data() + kFontFileHeaderSize, size.size);
  if (!packed.ok()) return packed;
  out[0] = kFontFileVersion;
  base::WriteLE16(&out[1], static_cast<uint16_t>(packed.size));
  base::WriteLE16(&out[3], Fletcher16(out.data() + kFontFileHeaderSize, packed.size));
  bytes = std::move(out);
  return {FontStatus::Ok, bytes.size(), -1};
}

FontResult ParseFontFile(const uint8_t* bytes, size_t size, ZEICHENSATZ& font) {
  if (size < kFontFileHeaderSize) return {FontStatus::Truncated, 0, -1};
  if (bytes[0] != kFontFileVersion) return {FontStatus::BadVersion, 0, -1};
  const size_t length = base::ReadLE16(bytes + 1);
  if (length < kFontHeaderSize) return {FontStatus::LengthTooShort, 0, -1};
  if (length > size - kFontFileHeaderSize) return {FontStatus::LengthBeyondData, 0, -1};
  const uint8_t* packed = bytes + kFontFileHeaderSize;
  if (Fletcher16(packed, length) != base::ReadLE16(bytes + 3)) return {FontStatus::BadChecksum, 0, -1};

  auto fresh = std::make_unique<ZEICHENSATZ>();
  FontResult r = Unpack(packed, length, *fresh);
  if (!r.ok()) return r;
  Normalize(*fresh);
  font = *fresh;
  return r;
}

}  // namespace dx470
