// Fuzz target of the font file (.LFT) import and of packed fonts: the file
// check (version, length, checksum), Unpack, Normalize, and the way back
// (PackedSize, Pack, BuildFontFile). A font read from a file must write a
// file that reads as the same font, and writing that font again must give
// the same bytes; a refused file must leave the font alone.
//
// Input: byte 0 holds flags, the rest is the file or the packed font.
//   bit 0: the bytes are a packed font (as in a device image), not a file;
//   bit 1: give the file a correct header (version, the length of the data
//          that follows, its checksum), so that the packed font is reached.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/byteorder.h"
#include "data/checksum.h"
#include "data/fontfile.h"
#include "data/packedfont.h"

namespace {

using dx470::FontResult;
using dx470::ZEICHENSATZ;

[[noreturn]] void Fail(const char* what, int detail = -1) {
  std::fprintf(stderr, "font round trip: %s (%d)\n", what, detail);
  std::abort();
}

// Two normalised fonts are the same but for the widest glyph, which the
// file header carries as it was written and packing computes anew.
bool SameFont(const ZEICHENSATZ& a, const ZEICHENSATZ& b) {
  constexpr size_t kWidth = offsetof(ZEICHENSATZ, MaxWidth);
  const auto* x = reinterpret_cast<const uint8_t*>(&a);
  const auto* y = reinterpret_cast<const uint8_t*>(&b);
  return std::memcmp(x, y, kWidth) == 0 &&
         std::memcmp(x + kWidth + 1, y + kWidth + 1, sizeof a - kWidth - 1) == 0;
}

void WriteAndReadAgain(const ZEICHENSATZ& font) {
  std::vector<uint8_t> file;
  FontResult built = dx470::BuildFontFile(font, file);
  if (!built.ok()) Fail("a normalised font cannot be written", int(built.status));
  auto again = std::make_unique<ZEICHENSATZ>();
  std::memset(again.get(), 0xA5, sizeof *again);
  FontResult parsed = dx470::ParseFontFile(file.data(), file.size(), *again);
  if (!parsed.ok()) Fail("a written font file cannot be read", int(parsed.status));
  if (!SameFont(font, *again)) Fail("a written font file reads as another font");
  std::vector<uint8_t> second;
  if (!dx470::BuildFontFile(*again, second).ok() || second != file)
    Fail("writing the font read back gives other bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  std::vector<uint8_t> bytes(data + 1, data + size);
  auto font = std::make_unique<ZEICHENSATZ>();
  std::memset(font.get(), 0x3C, sizeof *font);
  auto before = std::make_unique<ZEICHENSATZ>(*font);

  if (flags & 1) {
    // As the image decode and the built-in font use it: Unpack, then the
    // clean-up the font editor's import gives a font.
    FontResult r = dx470::Unpack(bytes.data(), bytes.size(), *font);
    if (!r.ok()) {
      if (std::memcmp(before.get(), font.get(), sizeof *font) != 0)
        Fail("a refused packed font changed the font");
      return 0;
    }
    if (r.size > bytes.size()) Fail("Unpack consumed more than it was given", int(r.size));
    dx470::Normalize(*font);
    FontResult need = dx470::PackedSize(*font);
    if (!need.ok()) Fail("a normalised font has no packed size", int(need.status));
    std::vector<uint8_t> small(need.size - 1);
    if (dx470::Pack(*font, small.data(), small.size()).status != dx470::FontStatus::NoSpace)
      Fail("Pack took a buffer one byte too small");
    std::vector<uint8_t> packed(need.size);
    FontResult p = dx470::Pack(*font, packed.data(), packed.size());
    if (!p.ok() || p.size != need.size) Fail("Pack disagrees with PackedSize", int(p.size));
    auto back = std::make_unique<ZEICHENSATZ>();
    FontResult u = dx470::Unpack(packed.data(), packed.size(), *back);
    if (!u.ok() || u.size != packed.size()) Fail("a packed font does not unpack whole", int(u.size));
    dx470::Normalize(*back);
    if (!SameFont(*font, *back)) Fail("a packed font unpacks as another font");
    WriteAndReadAgain(*font);
    return 0;
  }

  if ((flags & 2) && bytes.size() >= dx470::kFontFileHeaderSize) {
    const size_t length = std::min<size_t>(bytes.size() - dx470::kFontFileHeaderSize, 0xFFFF);
    bytes[0] = dx470::kFontFileVersion;
    base::WriteLE16(&bytes[1], uint16_t(length));
    base::WriteLE16(&bytes[3], dx470::Fletcher16(bytes.data() + dx470::kFontFileHeaderSize, length));
  }
  FontResult r = dx470::ParseFontFile(bytes.data(), bytes.size(), *font);
  if (!r.ok()) {
    if (std::memcmp(before.get(), font.get(), sizeof *font) != 0)
      Fail("a refused font file changed the font");
    return 0;
  }
  WriteAndReadAgain(*font);
  return 0;
}
