// An outside client: it knows only xmlweave.h and the COM stand-in, and
// reaches the server through CoCreateInstance after registering it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "com/cocreate.h"
#include "module_loading.h"
#include "temp_home.h"
#include "xmlweave.h"

namespace {

// The client's own handler: keeps the typed values it receives.
class Handler final : public IDocumentHandler {
 public:
  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    if (iid == IUnknown::iid || iid == IDocumentHandler::iid) {
      *ppv = static_cast<IDocumentHandler*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }

  HRESULT StartDocument() override { return Log("doc"); }
  HRESULT EndDocument() override { return Log("end"); }
  HRESULT FileVersionA(const char*, const char* v) override { return Log("version " + std::string(v)); }
  HRESULT CommentA(const char* c) override { return Log("comment " + std::string(c)); }
  HRESULT StartElementLongA(const char* n, int32_t v) override {
    return Log(std::string(n) + "=" + std::to_string(v));
  }
  HRESULT StartElementBoolA(const char* n, int32_t v) override {
    return Log(std::string(n) + "=" + (v ? "true" : "false"));
  }
  HRESULT StartElementFloatA(const char* n, float v) override {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(v));
    return Log(std::string(n) + "=" + buf);
  }
  HRESULT StartElementStringA(const char* n, const char* v) override {
    return Log(std::string(n) + "='" + v + "'");
  }
  HRESULT StartElementByteArrayA(const char* n, uint32_t size, const uint8_t* v) override {
    std::string s = std::string(n) + "=bytes";
    for (uint32_t i = 0; i < size; ++i) s += " " + std::to_string(v[i]);
    return Log(s);
  }
  HRESULT StartElementA(const char* n) override { return Log("<" + std::string(n)); }
  HRESULT EndElementA(const char* n) override { return Log(std::string(n) + ">"); }
  HRESULT Error(HRESULT hr, uint32_t line) override {
    return Log("error " + std::to_string(uint32_t(hr)) + " " + std::to_string(line));
  }
  HRESULT StartElementLongArrayA(const char* n, uint32_t size, const int32_t* v) override {
    std::string s = std::string(n) + "=longs";
    for (uint32_t i = 0; i < size; ++i) s += " " + std::to_string(v[i]);
    return Log(s);
  }

  std::atomic<ULONG> refs{1};
  std::vector<std::string> log;
  // A client that misbehaves: its handler throws from the callback of this
  // element's name.
  std::string throwAt;

 private:
  HRESULT Log(const std::string& s) {
    if (!throwAt.empty() && s.rfind(throwAt, 0) == 0) throw std::runtime_error("the client's handler broke");
    log.push_back(s);
    return S_OK;
  }
};

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

TEST(XmlClient, WritesAndReadsADocumentThroughCom) {
  testsupport::TempHome home;
  testsupport::TempDir dir;
  com::ServerModule module;
  ASSERT_TRUE(testsupport::LoadAndRegister(module, "XmlWeaveETS.so"));

  IXMLWriter* writer = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_XMLWriter, nullptr, CLSCTX_INPROC_SERVER, IXMLWriter::iid,
                             reinterpret_cast<void**>(&writer)),
            S_OK);
  const std::string path = dir.File("client.xml");
  const uint8_t bytes[] = {0, 1, 255};
  const int32_t longs[] = {-1, 0, 70000};
  EXPECT_EQ(writer->WriteFileW(Wide(path).c_str()), S_OK);
  EXPECT_EQ(writer->StartDocumentA("Project", "3.0"), S_OK);
  EXPECT_EQ(writer->StartElementA("Device"), S_OK);
  EXPECT_EQ(writer->StartElementStringA("Name", "A <b> & \"c\""), S_OK);
  EXPECT_EQ(writer->StartElementLongA("Address", 4354), S_OK);
  EXPECT_EQ(writer->StartElementBoolA("On", 1), S_OK);
  EXPECT_EQ(writer->StartElementFloatA("Gain", 2.5f), S_OK);
  EXPECT_EQ(writer->StartElementByteArrayA("Data", 3, bytes), S_OK);
  EXPECT_EQ(writer->StartElementLongArrayA("List", 3, longs), S_OK);
  EXPECT_EQ(writer->EndElementA("Device"), S_OK);
  EXPECT_EQ(writer->CommentA("done"), S_OK);
  EXPECT_EQ(writer->EndDocument(), S_OK);
  int32_t count = 0;
  EXPECT_EQ(writer->get_ByteCount(&count), S_OK);
  EXPECT_GT(count, 200);
  writer->Release();

  IXMLReader* reader = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_XMLReader, nullptr, CLSCTX_INPROC_SERVER, IXMLReader::iid,
                             reinterpret_cast<void**>(&reader)),
            S_OK);
  Handler handler;
  EXPECT_EQ(reader->AddDocumentHandler(&handler), S_OK);
  EXPECT_EQ(reader->ParseW(Wide(path).c_str()), S_OK);
  EXPECT_EQ(handler.log, std::vector<std::string>({"doc", "<Project", "version 3.0", "<Device",
                                                   "Name='A <b> & \"c\"'", "Address=4354", "On=true",
                                                   "Gain=2.5", "Data=bytes 0 1 255", "List=longs -1 0 70000",
                                                   "Device>", "comment done", "Project>", "end"}));
  EXPECT_EQ(handler.refs.load(), 1u);  // the reader let go of the handler
  EXPECT_EQ(reader->ParseW(Wide(dir.File("none.xml")).c_str()), MakeHResult(0x80070002));
  reader->Release();
}

// An exception thrown by the client's handler does not cross back through
// the server's interface: the parse ends with E_FAIL, the handler is let go,
// and the next parse works.
TEST(XmlClient, AThrowingHandlerEndsTheParseWithAnError) {
  testsupport::TempHome home;
  testsupport::TempDir dir;
  com::ServerModule module;
  ASSERT_TRUE(testsupport::LoadAndRegister(module, "XmlWeaveETS.so"));
  const std::string path = dir.File("thrown.xml");
  IXMLWriter* writer = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_XMLWriter, nullptr, CLSCTX_INPROC_SERVER, IXMLWriter::iid,
                             reinterpret_cast<void**>(&writer)),
            S_OK);
  EXPECT_EQ(writer->WriteFileW(Wide(path).c_str()), S_OK);
  EXPECT_EQ(writer->StartDocumentA("Project", "1"), S_OK);
  EXPECT_EQ(writer->StartElementStringA("Name", "x"), S_OK);
  EXPECT_EQ(writer->EndDocument(), S_OK);
  writer->Release();
  IXMLReader* reader = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_XMLReader, nullptr, CLSCTX_INPROC_SERVER, IXMLReader::iid,
                             reinterpret_cast<void**>(&reader)),
            S_OK);
  Handler handler;
  handler.throwAt = "<Project";
  ASSERT_EQ(reader->AddDocumentHandler(&handler), S_OK);
  EXPECT_EQ(reader->ParseW(Wide(path).c_str()), E_FAIL);
  EXPECT_EQ(handler.refs.load(), 1u);

  Handler good;
  ASSERT_EQ(reader->AddDocumentHandler(&good), S_OK);
  EXPECT_EQ(reader->ParseW(Wide(path).c_str()), S_OK);
  EXPECT_FALSE(good.log.empty());
  reader->Release();
}
