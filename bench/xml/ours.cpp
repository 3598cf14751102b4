// Our reader and writer, used through their COM interfaces.
#include <cstring>

#include "base/strings.h"
#include "bench.h"
#include "genscript.h"
#include "xmlweave/xmlreader.h"
#include "xmlweave/xmlwriter.h"

namespace bench {
namespace {

// Receives typed values: the reader has converted them already.
class SumHandler : public IDocumentHandler, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDocumentHandler;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDocumentHandler>(this, iid, ppv);
  }
  Sums sums;
  HRESULT StartDocument() override { return S_OK; }
  HRESULT EndDocument() override { return S_OK; }
  HRESULT FileVersionA(const char*, const char*) override { return S_OK; }
  HRESULT CommentA(const char*) override { return S_OK; }
  HRESULT StartElementLongA(const char*, int32_t v) override {
    sums.longs += uint64_t(int64_t(v));
    ++sums.elements;
    return S_OK;
  }
  HRESULT StartElementBoolA(const char*, int32_t v) override {
    sums.bools += uint64_t(v);
    ++sums.elements;
    return S_OK;
  }
  HRESULT StartElementFloatA(const char*, float v) override {
    sums.floats += v;
    ++sums.elements;
    return S_OK;
  }
  HRESULT StartElementStringA(const char*, const char* v) override {
    sums.chars += std::strlen(v);
    ++sums.elements;
    return S_OK;
  }
  HRESULT StartElementByteArrayA(const char*, uint32_t n, const uint8_t* v) override {
    for (uint32_t i = 0; i < n; ++i) sums.bytes += v[i];
    ++sums.elements;
    return S_OK;
  }
  HRESULT StartElementA(const char*) override { return S_OK; }
  HRESULT EndElementA(const char*) override { return S_OK; }
  HRESULT Error(HRESULT, uint32_t) override { return E_FAIL; }
  HRESULT StartElementLongArrayA(const char*, uint32_t n, const int32_t* v) override {
    for (uint32_t i = 0; i < n; ++i) sums.longs += uint64_t(int64_t(v[i]));
    ++sums.elements;
    return S_OK;
  }
};

struct ComSink {
  IXMLWriter* w;
  void Begin(const char* n) { w->StartElementA(n); }
  void End(const char* n) { w->EndElementA(n); }
  void Comment(const char* c) { w->CommentA(c); }
  void Long(const char* n, int32_t v) { w->StartElementLongA(n, v); }
  void Bool(const char* n, int32_t v) { w->StartElementBoolA(n, v); }
  void Float(const char* n, float v) { w->StartElementFloatA(n, v); }
  void String(const char* n, const char* v) { w->StartElementStringA(n, v); }
  void Bytes(const char* n, uint32_t c, const uint8_t* v) { w->StartElementByteArrayA(n, c, v); }
  void Longs(const char* n, uint32_t c, const int32_t* v) { w->StartElementLongArrayA(n, c, v); }
};

}  // namespace

Sums OursRead(const std::string& path) {
  com::ComPtr<IXMLReader> reader;
  com::CreateInstance<xmlweave::CXMLReader>(nullptr, nullptr, IXMLReader::iid, reader.PpvSlot());
  com::ComObject<SumHandler>* handler = nullptr;
  com::ComObject<SumHandler>::Create(nullptr, &handler);
  com::ComPtr<IDocumentHandler> keep(handler);
  reader->AddDocumentHandler(handler);
  if (FAILED(reader->ParseW(base::Utf8ToUtf16(path).c_str()))) std::abort();
  return handler->sums;
}

void OursWrite(const std::string& path, uint64_t leaves) {
  com::ComPtr<IXMLWriter> writer;
  com::CreateInstance<xmlweave::CXMLWriter>(nullptr, nullptr, IXMLWriter::iid, writer.PpvSlot());
  if (FAILED(writer->WriteFileW(base::Utf8ToUtf16(path).c_str()))) std::abort();
  writer->StartDocumentA("Project", "1.0");
  ComSink sink{writer.Get()};
  xmlweave::GenerateDocument(sink, leaves);
  if (FAILED(writer->EndDocument())) std::abort();
}

}  // namespace bench
