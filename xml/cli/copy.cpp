// xmlweave copy IN OUT: every call the reader reports is written again with
// the writer, which honours the registry's formatting switches. OUT is
// replaced only by a complete copy of a document read without errors.
#include <cstdio>

#include "base/strings.h"
#include "cli.h"
#include "com/object.h"
#include "win/file.h"
#include "xmlweave/codecs.h"
#include "xmlweave/xmlreader.h"
#include "xmlweave/xmlwriter.h"

namespace cli {
namespace {

// Forwards the reader's calls to a writer. The root element and the version
// become StartDocumentA; the root's end tag is written when the copy is
// ended, after the parse, and only when the reader reported nothing.
class CopyHandler : public IDocumentHandler, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDocumentHandler;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDocumentHandler>(this, iid, ppv);
  }
  IXMLWriter* writer = nullptr;
  std::string input;            // IN, for the error lines
  unsigned errors = 0;          // errors the reader reported
  HRESULT writeFailure = S_OK;  // the first failed writer call
  bool ended = false;           // the root element was closed

  HRESULT StartDocument() override { return S_OK; }
  HRESULT EndDocument() override {
    ended = m_haveRoot;
    if (ended && !m_started) return Start("");  // a root without version element or content
    return S_OK;
  }
  HRESULT FileVersionA(const char*, const char* szVersion) override {
    if (m_started) return S_OK;  // only one version element per document
    // The reader hands the version over as it stands in the file, and the
    // writer encodes what it is given: so it gets the decoded text, and a
    // copy of a copy is the copy.
    std::string decoded;
    if (FAILED(xmlweave::XmlTextToString(szVersion ? szVersion : "", decoded)))
      decoded = szVersion ? szVersion : "";
    return Start(decoded.c_str());
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
    if (m_depth == 0) return S_OK;  // the root: ending the copy closes it
    --m_depth;
    return Forward([&] { return writer->EndElementA(n); });
  }
  HRESULT Error(HRESULT hr, uint32_t line) override {
    ++errors;
    // After a failed writer call the reader reports the failed callback:
    // that is the writer's failure, printed as such afterwards.
    if (SUCCEEDED(writeFailure)) PrintReaderError(input, hr, line);
    return S_OK;
  }

 private:
  HRESULT Start(const char* version) {
    m_started = true;
    return Check(writer->StartDocumentA(m_root.c_str(), version));
  }
  HRESULT Check(HRESULT hr) {
    if (FAILED(hr) && SUCCEEDED(writeFailure)) writeFailure = hr;
    return hr;
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
    return Check(write());
  }

  bool m_haveRoot = false;
  bool m_started = false;
  int m_depth = 0;
  std::string m_root;
};

}  // namespace

int Copy(const Args& args) {
  if (args.size() != 2) return Fail("copy: expected IN and OUT");
  const std::string& in = args[0];
  const std::string& out = args[1];
  // An input that cannot be opened fails before OUT is touched.
  {
    win::File probe;
    if (DWORD err = probe.Open(in, win::FileMode::Read); err != ERROR_SUCCESS) {
      std::fprintf(stderr, "xmlweave: %s: %s\n", in.c_str(), ResultText(HRESULT_FROM_WIN32(err)).c_str());
      return 1;
    }
  }
  com::ComPtr<IXMLReader> reader;
  if (FAILED(com::CreateInstance<xmlweave::CXMLReader>(nullptr, nullptr, IXMLReader::iid, reader.PpvSlot())))
    return Fail("cannot create the reader");
  com::ComObject<xmlweave::CXMLWriter>* writerObject = nullptr;
  if (FAILED(com::ComObject<xmlweave::CXMLWriter>::Create(nullptr, &writerObject)))
    return Fail("cannot create the writer");
  com::ComPtr<IXMLWriter> writer(writerObject);
  HRESULT hr = writer->WriteFileW(base::Utf8ToUtf16(out).c_str());
  if (FAILED(hr)) {
    std::fprintf(stderr, "xmlweave: %s: cannot create the file: %s\n", out.c_str(), ResultText(hr).c_str());
    return 1;
  }

  com::ComObject<CopyHandler>* handler = nullptr;
  if (FAILED(com::ComObject<CopyHandler>::Create(nullptr, &handler))) {
    writerObject->AbandonDocument();
    return Fail("out of memory");
  }
  com::ComPtr<IDocumentHandler> keep(handler);
  handler->writer = writer.Get();
  handler->input = in;
  reader->AddDocumentHandler(handler);
  hr = reader->ParseW(base::Utf8ToUtf16(in).c_str());

  if (SUCCEEDED(hr) && handler->errors == 0 && SUCCEEDED(handler->writeFailure) && handler->ended) {
    HRESULT closed = writer->EndDocument();
    if (FAILED(closed)) {
      std::fprintf(stderr, "xmlweave: %s: %s\n", out.c_str(), ResultText(closed).c_str());
      return 1;
    }
    return 0;
  }
  // Nothing replaces OUT.
  writerObject->AbandonDocument();
  if (FAILED(handler->writeFailure))
    std::fprintf(stderr, "xmlweave: %s: %s\n", out.c_str(), ResultText(handler->writeFailure).c_str());
  else if (handler->errors == 0)
    std::fprintf(stderr, "xmlweave: %s: %s\n", in.c_str(),
                 FAILED(hr) ? ResultText(hr).c_str() : "no complete document");
  std::fprintf(stderr, "xmlweave: %s: not written\n", out.c_str());
  return 1;
}

}  // namespace cli
