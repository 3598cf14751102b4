// Fuzz target of the reader: the tag scanner, the element dispatch and the
// value codecs on any input. The first bytes choose the read block size (so
// block boundaries fall anywhere), an optional read failure, and how the
// handlers behave: some calls fail, some add further handlers, and every
// string and array they receive is read in full.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "com/object.h"
#include "xmlweave/codecs.h"
#include "xmlweave/saxparser.h"

namespace {

struct Control {
  xmlweave::CSaxParser* parser = nullptr;
  uint32_t state = 0;
  int handlersLeft = 0;
  std::vector<com::ComPtr<IDocumentHandler>> keep;
  uint32_t Next() { return state = state * 1103515245u + 12345u; }
};

class FuzzHandler : public IDocumentHandler, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDocumentHandler;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDocumentHandler>(this, iid, ppv);
  }
  Control* control = nullptr;

  HRESULT StartDocument() override { return Act(); }
  HRESULT EndDocument() override { return Act(); }
  HRESULT FileVersionA(const char* n, const char* v) override { return Act(n, v); }
  HRESULT CommentA(const char* c) override { return Act(c); }
  HRESULT StartElementLongA(const char* n, int32_t) override { return Act(n); }
  HRESULT StartElementBoolA(const char* n, int32_t) override { return Act(n); }
  HRESULT StartElementFloatA(const char* n, float) override { return Act(n); }
  HRESULT StartElementStringA(const char* n, const char* v) override { return Act(n, v); }
  HRESULT StartElementByteArrayA(const char* n, uint32_t size, const uint8_t* v) override {
    Touch(v, size);
    return Act(n);
  }
  HRESULT StartElementA(const char* n) override { return Act(n); }
  HRESULT EndElementA(const char* n) override { return Act(n); }
  HRESULT Error(HRESULT, uint32_t) override { return Act(); }
  HRESULT StartElementLongArrayA(const char* n, uint32_t size, const int32_t* v) override {
    Touch(v, size * sizeof(int32_t));
    return Act(n);
  }

 private:
  static volatile uint8_t sink;
  static void Touch(const void* p, size_t n) {
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i) x ^= static_cast<const uint8_t*>(p)[i];
    sink = x;
  }
  HRESULT Act(const char* a = "", const char* b = "") {
    Touch(a, std::strlen(a) + 1);
    Touch(b, std::strlen(b) + 1);
    uint32_t r = control->Next() >> 16;
    if (r % 29 == 0) return E_FAIL;
    if (r % 7 == 0 && control->handlersLeft > 0) {
      --control->handlersLeft;
      com::ComObject<FuzzHandler>* h = nullptr;
      if (SUCCEEDED(com::ComObject<FuzzHandler>::Create(nullptr, &h))) {
        h->control = control;
        com::ComPtr<IDocumentHandler> ref(h);
        control->keep.push_back(ref);
        control->parser->AddDocumentHandler(h);
        IDocumentHandler* active = nullptr;
        if (SUCCEEDED(control->parser->GetActiveDocumentHandler(&active)) && active) active->Release();
      }
    }
    return S_OK;
  }
};

volatile uint8_t FuzzHandler::sink = 0;

void FuzzCodecs(std::string_view text) {
  std::string s;
  xmlweave::XmlTextToString(text, s);
  s = xmlweave::StringToXmlText(text);
  std::vector<uint8_t> bytes;
  if (SUCCEEDED(xmlweave::Base64StringToByte(text, bytes)) && !bytes.empty())
    xmlweave::PrepareByteForString(bytes.size(), bytes.data(), s);
  std::vector<int32_t> longs;
  if (SUCCEEDED(xmlweave::StringToLongA(text, longs)) && !longs.empty())
    xmlweave::PrepareLongAForString(longs.size(), longs.data(), s);
  xmlweave::ParseLong(text);
  xmlweave::ParseFloat(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint32_t block = 1 + ((uint32_t(data[0]) | uint32_t(data[1]) << 8) % 4096);
  const size_t failAt = data[2] < 16 ? size_t(data[2]) * 37 : SIZE_MAX;
  Control control;
  control.state = data[3];
  control.handlersLeft = data[3] % 16;
  std::string_view doc(reinterpret_cast<const char*>(data + 4), size - 4);

  xmlweave::CSaxParser parser{xmlweave::TraceChannel("CSaxParser", nullptr)};
  control.parser = &parser;
  parser.SetBlockSize(block);
  if (data[3] % 4 != 0) {
    com::ComObject<FuzzHandler>* root = nullptr;
    if (SUCCEEDED(com::ComObject<FuzzHandler>::Create(nullptr, &root))) {
      root->control = &control;
      com::ComPtr<IDocumentHandler> keep(root);
      parser.AddDocumentHandler(root);
    }
  }
  xmlweave::MemorySource source(doc, failAt);
  parser.Parse(&source);
  FuzzCodecs(doc.substr(0, 4096));
  return 0;
}
