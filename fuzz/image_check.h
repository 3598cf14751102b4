#pragma once
// The property the BLOB and parameter-file targets share: a configuration
// that builds into a device image (as an export writes it into a parameter
// file) must pass the import's check and decode to the same configuration.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/blockinfo.h"
#include "data/records.h"
#include "download/lcdimage.h"

namespace fuzzcheck {

[[noreturn]] inline void Fail(const char* what, int detail = -1) {
  std::fprintf(stderr, "image round trip: %s (%d)\n", what, detail);
  std::abort();
}

// Bytes of a packed font's glyph as the image keeps them: the band bytes of
// its rows inside its width.
inline uint8_t KeptBits(const dx470::ZEICHEN& g, unsigned band, unsigned row, unsigned height) {
  if (band >= (g.Width + 7u) / 8u || row >= height) return 0;
  const unsigned rest = g.Width - 8 * band;
  const uint8_t mask = rest >= 8 ? 0xFF : static_cast<uint8_t>(0xFF00u >> rest);
  return g.Bitmap[20 * band + row] & mask;
}

// `back`, decoded from the image of `built`, holds the same font: the header
// (but the width the build computes), and every glyph of the code range
// with its width and the pixels the image keeps.
inline void ExpectSameFont(const dx470::ZEICHENSATZ& built, const dx470::ZEICHENSATZ& back, int k) {
  if (std::memcmp(&built, &back, offsetof(dx470::ZEICHENSATZ, MaxWidth)) != 0 ||
      std::memcmp(&built.First, &back.First, dx470::kFontHeaderSize - offsetof(dx470::ZEICHENSATZ, First)) !=
          0)
    Fail("a font header reads back differently", k);
  for (int n = 0; n <= built.Last - built.First; ++n) {
    const dx470::ZEICHEN &a = built.Glyphs[n], &b = back.Glyphs[n];
    if (a.Width != b.Width) Fail("a glyph width reads back differently", n);
    for (unsigned band = 0; band < dx470::kGlyphBands; ++band)
      for (unsigned row = 0; row < dx470::kGlyphRows; ++row)
        if (KeptBits(a, band, row, built.Height) != b.Bitmap[20 * band + row])
          Fail("a glyph's pixels read back differently", n);
  }
}

// Exports `param` as WriteTextFile does (block information, image build)
// and, when the build succeeds, imports the image again and compares.
// Returns whether the build succeeded.
inline bool ExportAndImport(const dx470::PARAM& param) {
  // Kept for the whole run: fresh blocks of this size for every input would
  // cost more than the checks.
  static auto* work = new dx470::PARAM;
  static auto* buffer = new dx470::ImageBuffer;
  static auto* back = new dx470::PARAM;
  *work = param;
  dx470::UpdateBlockInformation(*work);
  buffer->fill(0);
  const dx470::ImageResult image = dx470::BuildLcdImage(*work, *buffer);
  if (!image.ok()) return false;
  const size_t size = dx470::kImagePrefixSize + image.length;
  if (size > buffer->size()) Fail("the image is longer than its buffer", int(size));
  if (!dx470::CheckBlockInformation(buffer->data(), size)) Fail("an exported image fails the import check");
  std::memset(back, 0, sizeof *back);
  const dx470::ImageResult read = dx470::BuildLcdImage(buffer->data(), size, *back);
  if (!read.ok()) Fail("an exported image cannot be decoded", int(read.status));
  if (std::memcmp(back, work, dx470::kParamHeadSize) != 0)
    Fail("header, general parameters or messages read back differently");
  for (int k = 0; k < dx470::kFontCount; ++k) ExpectSameFont(work->Lcd.Fonts[k], back->Lcd.Fonts[k], k);
  return true;
}

}  // namespace fuzzcheck
