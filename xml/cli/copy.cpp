// xmlweave copy IN OUT: every call the reader reports is written again with
// the writer, which honours the registry's formatting switches.
#include <cstdio>

#include "base/strings.h"
#include "cli.h"
#include "com/object.h"
#include "xmlweave/xmlreader.h"
#include "xmlweave/xmlwriter.h"

namespace cli {
namespace {

// Forwards the reader's calls to a writer. The root element and the version
// become StartDocumentA; the root's end tag is written by EndDocument.
class CopyHandler : public IDocumentHandler, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDocumentHandler;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDocumentHandler>(this, iid, ppv);
  }
  IXMLWriter* writer = nullptr;

  HRESULT StartDocument() override { return S_OK; }
  HRESULT EndDocument() override {
    if (!m_haveRoot) return S_OK;
    if (!m_started) {
      HRESULT hr = Start("");  // a root without version element or content
      if (FAILED(hr)) return hr;
    }
    return writer->EndDocument();
  }
  HRESULT FileVersionA(const char*, const char* szVersion) override {
    if (m_started) return S_OK;  // only one version element per document
    return Start(szVersion);
  }
  HRESULT CommentA(const char* s) override {
    return Forward([&] { return writer->CommentA(s); });
  }
  HRESULT StartElementLongA(const char* n, int32_t v) override {
    return Forward([&] { return writer->StartElementLongA(n, v); });
  }
  HRESULT StartElementBoolA(const char* n, int32_t v) override {
    return Forward([&] { return writer->StartElementBoolA(n, v); });
  }
  HRESULT StartElementFloatA(const char* n, float v) override {
    return Forward([&] { return writer->StartElementFloatA(n, v); });
  }
  HRESULT StartElementStringA(const char* n, const char* v) override {
    return Forward([&] { return writer->StartElementStringA(n, v); });
  }
  HRESULT StartElementByteArrayA(const char* n, uint32_t c, const uint8_t* v) override {
    return Forward([&] { return writer->StartElementByteArrayA(n, c, v); });
  }
  HRESULT StartElementLongArrayA(const char* n, uint32_t c, const int32_t* v) override {
    return Forward([&] { return writer->StartElementLongArrayA(n, c, v); });
  }
  HRESULT StartElementA(const char* n) override {
    if (!m_haveRoot) {
      m_haveRoot = true;
      m_root = n;
      return S_OK;
    }
    ++m_depth;
    return Forward([&] { return writer->StartElementA(n); });
  }
  HRESULT EndElementA(const char* n) override {
    if (m_depth == 0) return S_OK;  // the root: EndDocument closes it
    --m_depth;
    return Forward([&] { return writer->EndElementA(n); });
  }
  HRESULT Error(HRESULT hr, uint32_t line) override {
    std::fprintf(stderr, "xmlweave: line %u: error 0x%08X\n", line, uint32_t(hr));
    return S_OK;
  }

 private:
  HRESULT Start(const char* version) {
    m_started = true;
    return writer->StartDocumentA(m_root.c_str(), version);
  }
  // Elements before the root are dropped; a document without a version
  // element starts with an empty one.
  template <class F>
  HRESULT Forward(F write) {
    if (!m_haveRoot) return S_OK;
    if (!m_started) {
      HRESULT hr = Start("");
      if (FAILED(hr)) return hr;
    }
    return write();
  }

  bool m_haveRoot = false;
  bool m_started = false;
  int m_depth = 0;
  std::string m_root;
};

}  // namespace

int Copy(const Args& args) {
  if (args.size() != 2) return Fail("copy: expected IN and OUT");
  com::ComPtr<IXMLReader> reader;
  com::ComPtr<IXMLWriter> writer;
  if (FAILED(com::CreateInstance<xmlweave::CXMLReader>(nullptr, nullptr, IXMLReader::iid,
                                                      reader.PpvSlot())) ||
      FAILED(com::CreateInstance<xmlweave::CXMLWriter>(nullptr, nullptr, IXMLWriter::iid,
                                                      writer.PpvSlot())))
    return Fail("cannot create the reader and writer");
  HRESULT hr = writer->WriteFileW(base::Utf8ToUtf16(args[1]).c_str());
  if (FAILED(hr))
    return Fail(args[1] + ": cannot create the file: " + base::ErrorText(hr));

  com::ComObject<CopyHandler>* handler = nullptr;
  if (FAILED(com::ComObject<CopyHandler>::Create(nullptr, &handler))) return Fail("out of memory");
  com::ComPtr<IDocumentHandler> keep(handler);
  handler->writer = writer.Get();
  reader->AddDocumentHandler(handler);
  hr = reader->ParseW(base::Utf8ToUtf16(args[0]).c_str());
  HRESULT closed = writer->EndDocument();
  if (FAILED(hr)) {
    std::fprintf(stderr, "xmlweave: %s: parse failed with 0x%08X\n", args[0].c_str(), uint32_t(hr));
    return 1;
  }
  if (FAILED(closed)) {
    std::fprintf(stderr, "xmlweave: %s: %s\n", args[1].c_str(), base::ErrorText(closed).c_str());
    return 1;
  }
  return 0;
}

}  // namespace cli
