// Random documents written by the writer object come back from the reader
// as the same calls, with every formatting switch and read block size.
#include <gtest/gtest.h>

#include <random>

#include "base/strings.h"
#include "callrecorder.h"
#include "temp_home.h"
#include "win/file.h"
#include "win/registry.h"
#include "xmlweave/saxparser.h"
#include "xmlweave/xmlwriter.h"

using namespace xmlweave;

namespace {

class Generator {
 public:
  explicit Generator(uint32_t seed) : m_rng(seed) {}
  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(m_rng); }
  int32_t AnyLong() { return int32_t(m_rng()); }
  std::string Name() {
    static const char kFirst[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static const char kRest[] = "abcdefghijklmnopqrstuvwxyz0123456789_";
    std::string s(1, kFirst[Below(sizeof kFirst - 1)]);
    for (uint32_t n = Below(9); n > 0; --n) s += kRest[Below(sizeof kRest - 1)];
    return s;
  }
  std::string Text() {
    std::string s;
    for (uint32_t n = Below(40); n > 0; --n) s += char(1 + Below(255));
    return s;
  }

 private:
  std::mt19937 m_rng;
};

// Issues the same random calls to the writer and, as the reader is expected
// to report them, to a recorder.
void WriteRandomDocument(Generator& g, IXMLWriter* w, IDocumentHandler* expected) {
  const std::string root = g.Name();
  std::string version = std::to_string(g.Below(100)) + "." + std::to_string(g.Below(100));
  ASSERT_EQ(w->StartDocumentA(root.c_str(), version.c_str()), S_OK);
  expected->StartDocument();
  expected->StartElementA(root.c_str());
  expected->FileVersionA("schemaversion", version.c_str());
  std::vector<std::string> open;
  for (uint32_t n = 20 + g.Below(200); n > 0; --n) {
    std::string name = g.Name();
    switch (g.Below(10)) {
      case 0:
        if (open.size() < 8) {
          w->StartElementA(name.c_str());
          expected->StartElementA(name.c_str());
          open.push_back(name);
        }
        break;
      case 1:
        if (!open.empty()) {
          w->EndElementA(open.back().c_str());
          expected->EndElementA(open.back().c_str());
          open.pop_back();
        }
        break;
      case 2: {
        int32_t v = g.AnyLong();
        w->StartElementLongA(name.c_str(), v);
        expected->StartElementLongA(name.c_str(), v);
        break;
      }
      case 3: {
        int32_t v = int32_t(g.Below(3));
        w->StartElementBoolA(name.c_str(), v);
        expected->StartElementBoolA(name.c_str(), v != 0);
        break;
      }
      case 4: {
        float f = std::ldexp(float(g.AnyLong()), int(g.Below(60)) - 60);
        std::string text;
        AppendFloat(text, f);
        w->StartElementFloatA(name.c_str(), f);
        expected->StartElementFloatA(name.c_str(), ParseFloat(text));
        break;
      }
      case 5: {
        std::string text = g.Text();
        w->StartElementStringA(name.c_str(), text.c_str());
        expected->StartElementStringA(name.c_str(), text.c_str());
        break;
      }
      case 6: {
        std::vector<uint8_t> bytes(1 + g.Below(60));
        for (uint8_t& b : bytes) b = uint8_t(g.Below(256));
        w->StartElementByteArrayA(name.c_str(), uint32_t(bytes.size()), bytes.data());
        expected->StartElementByteArrayA(name.c_str(), uint32_t(bytes.size()), bytes.data());
        break;
      }
      case 7: {
        std::vector<int32_t> values(1 + g.Below(20));
        for (int32_t& v : values) v = g.AnyLong();
        w->StartElementLongArrayA(name.c_str(), uint32_t(values.size()), values.data());
        expected->StartElementLongArrayA(name.c_str(), uint32_t(values.size()), values.data());
        break;
      }
      default: {
        std::string text = g.Text();
        w->CommentA(text.c_str());
        expected->CommentA(text.c_str());
        break;
      }
    }
  }
  for (; !open.empty(); open.pop_back()) {
    w->EndElementA(open.back().c_str());
    expected->EndElementA(open.back().c_str());
  }
  ASSERT_EQ(w->EndDocument(), S_OK);
  expected->EndElementA(root.c_str());
  expected->EndDocument();
}

}  // namespace

TEST(XmlRoundTrip, RandomDocuments) {
  testsupport::TempHome home;
  testsupport::TempDir dir;
  const std::string path = dir.File("random.xml");
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    Generator g(seed);
    {
      win::RegKey k;
      ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, kSettingsKey), ERROR_SUCCESS);
      k.SetDword(kEnableCrValue, seed % 2);
      k.SetDword(kEnableTabValue, (seed / 2) % 2);
    }
    com::ComPtr<IXMLWriter> writer;
    ASSERT_EQ(com::CreateInstance<CXMLWriter>(nullptr, nullptr, IXMLWriter::iid, writer.PpvSlot()), S_OK);
    ASSERT_EQ(writer->WriteFileW(base::Utf8ToUtf16(path).c_str()), S_OK);
    std::vector<std::string> expected, actual;
    auto want = CallRecorder::Make();
    want->sink = [&](const std::string& line) { expected.push_back(line); };
    WriteRandomDocument(g, writer.Get(), want.Get());

    std::vector<uint8_t> bytes;
    ASSERT_EQ(win::ReadWholeFile(path, bytes), ERROR_SUCCESS);
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    CSaxParser parser{TraceChannel("CSaxParser", nullptr)};
    parser.SetBlockSize(seed % 3 == 0 ? CSaxParser::kBlockSize : 1 + g.Below(300));
    auto got = CallRecorder::Make();
    got->sink = [&](const std::string& line) { actual.push_back(line); };
    parser.AddDocumentHandler(got.Get());
    MemorySource source(text);
    EXPECT_EQ(parser.Parse(&source), S_OK);
    EXPECT_EQ(actual, expected);
  }
}
