// xmlweave gen --leaves N OUT: the benchmark document, written with TABs and
// CR LF whatever the registry says.
#include <cstdlib>

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

}  // namespace

int Gen(const Args& args) {
  if (args.size() != 3 || args[0] != "--leaves") return Fail("gen: expected --leaves N OUT");
  char* end = nullptr;
  unsigned long long leaves = std::strtoull(args[1].c_str(), &end, 10);
  if (args[1].empty() || !end || *end) return Fail("gen: N must be a number");

  xmlweave::CWriter w{xmlweave::TraceChannel("CWriter", nullptr)};
  if (FAILED(w.CreateFile(args[2], true, true))) return Fail(args[2] + ": cannot create the file");
  w.StartDocument("Project", "1.0");
  WriterSink sink{w, {}};
  xmlweave::GenerateDocument(sink, leaves);
  if (FAILED(w.Close())) return Fail(args[2] + ": write failed");
  return 0;
}

}  // namespace cli
