// xmlweave gen --leaves N OUT: the benchmark document, written with TABs and
// CR LF whatever the registry says.
#include <cstdio>
#include <string>

#include "cli.h"
#include "genscript.h"
#include "xmlweave/writer.h"

namespace cli {
namespace {

struct WriterSink {
  xmlweave::CWriter& w;
  std::string text;
  void Begin(const char* n) { w.WriteBeginElement(n); }
  void End(const char* n) { w.WriteEndElement(n); }
  void Comment(const char* c) { w.WriteCommentElement(c); }
  void Long(const char* n, int32_t v) {
    text.clear();
    xmlweave::AppendLong(text, v);
    w.WriteElement(xmlweave::TAG_LONG, n, text.c_str());
  }
  void Bool(const char* n, int32_t v) { w.WriteElement(xmlweave::TAG_BOOL, n, v ? "1" : "0"); }
  void Float(const char* n, float v) {
    text.clear();
    xmlweave::AppendFloat(text, v);
    w.WriteElement(xmlweave::TAG_FLOAT, n, text.c_str());
  }
  void String(const char* n, const char* v) { w.WriteElement(xmlweave::TAG_STRING, n, v); }
  void Bytes(const char* n, uint32_t c, const uint8_t* v) { w.WriteByteArrayElement(n, c, v); }
  void Longs(const char* n, uint32_t c, const int32_t* v) { w.WriteLongArrayElement(n, c, v); }
};

// The number of leaves: decimal digits only (no sign, no blanks), at most
// kMaxLeaves, which is a document of about 500 MB.
constexpr uint64_t kMaxLeaves = 10000000;

bool ParseLeaves(const std::string& text, uint64_t& leaves) {
  if (text.empty() || text.size() > 8) return false;
  leaves = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    leaves = leaves * 10 + uint64_t(c - '0');
  }
  return leaves <= kMaxLeaves;
}

}  // namespace

int Gen(const Args& args) {
  if (args.size() != 3 || args[0] != "--leaves") return Fail("gen: expected --leaves N OUT");
  uint64_t leaves = 0;
  if (!ParseLeaves(args[1], leaves))
    return Fail("gen: N must be a number of digits from 0 to " + std::to_string(kMaxLeaves) + ", not \"" +
                args[1] + "\"");

  xmlweave::CWriter w{xmlweave::TraceChannel("CWriter", nullptr)};
  if (HRESULT hr = w.CreateFile(args[2], true, true); FAILED(hr)) {
    std::fprintf(stderr, "xmlweave: %s: cannot create the file: %s\n", args[2].c_str(),
                 ResultText(hr).c_str());
    return 1;
  }
  w.StartDocument("Project", "1.0");
  WriterSink sink{w, {}};
  xmlweave::GenerateDocument(sink, leaves);
  if (HRESULT hr = w.Close(); FAILED(hr)) {
    std::fprintf(stderr, "xmlweave: %s: write failed: %s\n", args[2].c_str(), ResultText(hr).c_str());
    return 1;
  }
  return 0;
}

}  // namespace cli
