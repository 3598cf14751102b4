#pragma once
// Pieces of the XML benchmark: every run returns a checksum of the values
// it saw, so that no work can be skipped and the parsers can be compared.
#include <cstdint>
#include <string>

namespace bench {

struct Sums {
  uint64_t longs = 0, bools = 0, bytes = 0, chars = 0, elements = 0;
  double floats = 0;
  bool operator==(const Sums& o) const {
    return longs == o.longs && bools == o.bools && bytes == o.bytes && chars == o.chars &&
           elements == o.elements && floats == o.floats;
  }
};

std::string ReadFile(const std::string& path);

// Readers.
Sums OursRead(const std::string& path);
Sums ExpatWhole(const std::string& path);
Sums ExpatBlocks(const std::string& path);  // 64 KiB buffers
Sums Libxml2Sax(const std::string& path);   // push parser, 64 KiB chunks
Sums Pugixml(const std::string& path);      // the whole document, parsed in place
uint64_t MemchrScan(const std::string& path);

// Writers of the benchmark document; all produce the dialect with TABs and CR LF.
void OursWrite(const std::string& path, uint64_t leaves);
void PlainWrite(const std::string& path, uint64_t leaves);
void TextWriterWrite(const std::string& path, uint64_t leaves);

}  // namespace bench
