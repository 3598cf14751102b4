// CXMLReader: files, handler forwarding and its lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/strings.h"
#include "callrecorder.h"
#include "temp_home.h"
#include "win/file.h"
#include "xmlweave/xmlreader.h"

using namespace xmlweave;
using Lines = std::vector<std::string>;

namespace {

class XmlReaderObject : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(com::CreateInstance<CXMLReader>(nullptr, nullptr, IXMLReader::iid, reader.PpvSlot()), S_OK);
  }
  std::u16string File(const std::string& name, const std::string& content) {
    std::string path = dir.File(name);
    win::WriteFileAtomic(path, content);
    return base::Utf8ToUtf16(path);
  }
  com::ComPtr<CallRecorder> Recorder(const std::string& prefix = "") {
    auto r = CallRecorder::Make();
    r->sink = [this, prefix](const std::string& line) { calls.push_back(prefix + line); };
    return r;
  }

  testsupport::TempHome home;
  testsupport::TempDir dir;
  com::ComPtr<IXMLReader> reader;
  Lines calls;
};

}  // namespace

TEST_F(XmlReaderObject, MissingFileCallsNoHandler) {
  auto h = Recorder();
  reader->AddDocumentHandler(h.Get());
  EXPECT_EQ(reader->ParseW(base::Utf8ToUtf16(dir.File("missing.xml")).c_str()), MakeHResult(0x80070002));
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(reader->ParseW(nullptr), E_POINTER);
  EXPECT_EQ(reader->AddDocumentHandler(nullptr), E_POINTER);
  EXPECT_EQ(reader->GetActiveDocumentHandler(nullptr), E_POINTER);
}

TEST_F(XmlReaderObject, ActiveHandlerAndSecondParseWithoutHandler) {
  IDocumentHandler* active = nullptr;
  EXPECT_EQ(reader->GetActiveDocumentHandler(&active), S_OK);
  EXPECT_EQ(active, nullptr);

  auto h = Recorder();
  reader->AddDocumentHandler(h.Get());
  active = reinterpret_cast<IDocumentHandler*>(&calls);  // overwritten, not released
  EXPECT_EQ(reader->GetActiveDocumentHandler(&active), S_OK);
  EXPECT_EQ(active, static_cast<IDocumentHandler*>(h.Get()));
  active->Release();

  auto file = File("a.xml", "<R><v t=\"b\">1</v></R>");
  EXPECT_EQ(reader->ParseW(file.c_str()), S_OK);
  EXPECT_EQ(calls.size(), 5u);
  EXPECT_EQ(reader->ParseW(file.c_str()), S_OK);
  EXPECT_EQ(calls.size(), 5u);
  EXPECT_EQ(reader->GetActiveDocumentHandler(&active), S_OK);
  EXPECT_EQ(active, nullptr);
}

TEST_F(XmlReaderObject, CallbacksMayAddHandlersOnTheSameThread) {
  auto h = Recorder("H:");
  auto g = Recorder("G:");
  h->result = [&](const char* m) {
    if (std::string(m) == "StartElementA" && calls.back() == "H:StartElementA(\"Device\")") {
      EXPECT_EQ(reader->AddDocumentHandler(g.Get()), S_OK);
      IDocumentHandler* active = nullptr;
      EXPECT_EQ(reader->GetActiveDocumentHandler(&active), S_OK);
      EXPECT_EQ(active, static_cast<IDocumentHandler*>(g.Get()));
      if (active) active->Release();
    }
    return S_OK;
  };
  reader->AddDocumentHandler(h.Get());
  auto file = File("n.xml", "<P><Device><a t=\"i4\">1</a></Device><b t=\"i4\">2</b></P>");
  EXPECT_EQ(reader->ParseW(file.c_str()), S_OK);
  EXPECT_EQ(calls, Lines({"H:StartDocument()", "H:StartElementA(\"P\")", "H:StartElementA(\"Device\")",
                          "G:StartElementLongA(\"a\", 1)", "H:EndElementA(\"Device\")",
                          "H:StartElementLongA(\"b\", 2)", "H:EndElementA(\"P\")", "H:EndDocument()"}));
}

TEST_F(XmlReaderObject, OtherThreadsWaitUntilTheParseEnds) {
  std::atomic<bool> added{false};
  std::thread other;
  auto g = Recorder("G:");
  auto h = Recorder("H:");
  h->result = [&](const char* m) {
    if (std::string(m) == "StartElementA") {
      other = std::thread([&] {
        reader->AddDocumentHandler(g.Get());
        added = true;
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      EXPECT_FALSE(added.load());
    }
    return S_OK;
  };
  reader->AddDocumentHandler(h.Get());
  auto file = File("t.xml", "<R><v t=\"i4\">1</v></R>");
  EXPECT_EQ(reader->ParseW(file.c_str()), S_OK);
  other.join();
  EXPECT_TRUE(added.load());
  // The late handler waits for the next parse.
  calls.clear();
  EXPECT_EQ(reader->ParseW(file.c_str()), S_OK);
  EXPECT_EQ(calls.front(), "G:StartDocument()");
}

TEST_F(XmlReaderObject, FilesLargerThanOneReadBlockGiveTheParsersCalls) {
  // Files are read in blocks of kFileBlockSize; tags and values that cross
  // a block boundary come whole, and the calls are those the parser makes
  // with its small default block on the same bytes.
  const size_t block = CXMLReader::kFileBlockSize;
  std::string doc = "<?xml version=\"1.0\"?>\r\n<R>\r\n";
  doc += "<a t=\"s\">" + std::string(block - doc.size() - 12, 'x') + "</a>\r\n";  // </a> across
  doc += "<Name t=\"s\">A &amp; B</Name>\r\n";
  while (doc.size() < 2 * block + 3) doc += "\t<v t=\"i4\">12345</v>\r\n";
  doc += "<s t=\"s\">" + std::string(block + 7, 'y') + "</s>\r\n</R>\r\n";
  auto file = File("big.xml", doc);
  auto h = Recorder();
  reader->AddDocumentHandler(h.Get());
  ASSERT_EQ(reader->ParseW(file.c_str()), S_OK);

  Lines viaFile;
  viaFile.swap(calls);
  CSaxParser parser{TraceChannel("CSaxParser", nullptr)};
  auto g = Recorder();
  parser.AddDocumentHandler(g.Get());
  MemorySource source(doc);
  ASSERT_EQ(parser.Parse(&source), S_OK);
  EXPECT_EQ(viaFile, calls);
  EXPECT_GT(viaFile.size(), 2900u);
}
