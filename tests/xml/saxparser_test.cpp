// The tag scanner and the element dispatch of CSaxParser, on documents in
// memory, with a handler that records every call.
#include <gtest/gtest.h>

#include "callrecorder.h"
#include "xmlweave/saxparser.h"

using namespace xmlweave;
using Lines = std::vector<std::string>;

namespace {

// A parser without trace component and recorders whose lines land in one
// list, prefixed with the recorder's name when there are several.
class XmlParse : public ::testing::Test {
 protected:
  com::ComPtr<CallRecorder> Recorder(const std::string& prefix = "") {
    auto r = CallRecorder::Make();
    r->sink = [this, prefix](const std::string& line) { calls.push_back(prefix + line); };
    return r;
  }
  HRESULT Run(std::string_view doc, uint32_t block = CSaxParser::kBlockSize) {
    MemorySource source(doc);
    parser.SetBlockSize(block);
    return parser.Parse(&source);
  }
  // Parses with one handler added before the parse.
  HRESULT RunWith(std::string_view doc, std::function<HRESULT(const char*)> result = {}) {
    auto h = Recorder();
    h->result = std::move(result);
    parser.AddDocumentHandler(h.Get());
    return Run(doc);
  }

  CSaxParser parser{TraceChannel("CSaxParser", nullptr)};
  Lines calls;
};

const char kSample[] =
    "<?xml version=\"1.0\"?>\r\n"
    "<Project>\r\n"
    "\t<schemaversion>2.1</schemaversion>\r\n"
    "\t<Device>\r\n"
    "\t\t<Name t=\"s\">Hall &amp; Stairs</Name>\r\n"
    "\t\t<Address t=\"i4\">4354</Address>\r\n"
    "\t\t<Flags t=\"la\">1,2,3</Flags>\r\n"
    "\t</Device>\r\n"
    "\t<!-- end -->\r\n"
    "\t<Spare/>\r\n"
    "</Project>\r\n";

const Lines kSampleCalls = {
    "StartDocument()",
    "StartElementA(\"Project\")",
    "FileVersionA(\"schemaversion\", \"2.1\")",
    "StartElementA(\"Device\")",
    "StartElementStringA(\"Name\", \"Hall & Stairs\")",
    "StartElementLongA(\"Address\", 4354)",
    "StartElementLongArrayA(\"Flags\", 3, {1, 2, 3})",
    "EndElementA(\"Device\")",
    "CommentA(\"end\")",
    "StartElementA(\"Spare\")",
    "EndElementA(\"Spare\")",
    "EndElementA(\"Project\")",
    "EndDocument()",
};

}  // namespace

TEST_F(XmlParse, SampleDocument) {
  EXPECT_EQ(RunWith(kSample), S_OK);
  EXPECT_EQ(calls, kSampleCalls);
  IDocumentHandler* active = reinterpret_cast<IDocumentHandler*>(1);
  EXPECT_EQ(parser.GetActiveDocumentHandler(&active), S_OK);
  EXPECT_EQ(active, nullptr);
  EXPECT_EQ(parser.Depth(), -1);
}

TEST_F(XmlParse, SampleWithNestedHandlerForDevice) {
  auto h = Recorder("H:");
  auto g = Recorder("G:");
  h->result = [&](const char* method) {
    if (calls.back() == "H:StartElementA(\"Device\")") parser.AddDocumentHandler(g.Get());
    (void)method;
    return S_OK;
  };
  parser.AddDocumentHandler(h.Get());
  EXPECT_EQ(Run(kSample), S_OK);
  Lines expected;
  for (const std::string& c : kSampleCalls)
    expected.push_back((c.find("Name") != std::string::npos || c.find("Address") != std::string::npos ||
                        c.find("Flags") != std::string::npos)
                           ? "G:" + c
                           : "H:" + c);
  EXPECT_EQ(calls, expected);
}

TEST_F(XmlParse, EveryBlockSizeGivesTheSameCalls) {
  // Tags and values split anywhere across reads are assembled whole.
  for (uint32_t block : {1u, 2u, 3u, 7u, 16u, 61u}) {
    calls.clear();
    auto h = Recorder();
    parser.AddDocumentHandler(h.Get());
    EXPECT_EQ(Run(kSample, block), S_OK) << block;
    EXPECT_EQ(calls, kSampleCalls) << block;
  }
}

TEST_F(XmlParse, TextInPlainElementIsReportedAndSkipped) {
  EXPECT_EQ(RunWith("<Root>text</Root>"), S_OK);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"Root\")", "Error(0xC0050004, 1)",
                          "EndElementA(\"Root\")", "EndDocument()"}));
}

TEST_F(XmlParse, MismatchedEndTagIsReportedButStillDelivered) {
  EXPECT_EQ(RunWith("<Root><a></b></Root>"), S_OK);
  EXPECT_EQ(calls,
            Lines({"StartDocument()", "StartElementA(\"Root\")", "StartElementA(\"a\")",
                   "Error(0xC0050001, 1)", "EndElementA(\"b\")", "EndElementA(\"Root\")", "EndDocument()"}));
}

TEST_F(XmlParse, TypedElementWithoutItsEndTagEndsTheParse) {
  EXPECT_EQ(RunWith("<Root><v t=\"i4\">5<w/></Root>"), XML_E_SYNTAX);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"Root\")", "StartElementLongA(\"v\", 5)",
                          "Error(0xC0050001, 1)"}));
}

TEST_F(XmlParse, EmptyTypedForms) {
  EXPECT_EQ(RunWith("<Root><v t=\"i4\"/><b t=\"64Bin\"/><l t=\"la\"/><s t=\"s\"/>x</Root>"), S_OK);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"Root\")", "StartElementStringA(\"s\", \"x\")",
                          "EndElementA(\"Root\")", "EndDocument()"}));
}

TEST_F(XmlParse, ValueConversions) {
  EXPECT_EQ(RunWith("<R><v t=\"la\">7,,-3,</v><b t=\"b\">true</b><c t=\"b\">1</c>"
                    "<x dt=\"i4\">5</x><y t=\"i4\" x=\"y\">6</y><f t=\"r4\">-1.5e1</f>"
                    "<s t=\"s\">A & B</s><d t=\"64Bin\">AAEC</d></R>"),
            S_OK);
  EXPECT_EQ(
      calls,
      Lines({"StartDocument()", "StartElementA(\"R\")", "StartElementLongArrayA(\"v\", 3, {7, 0, -3})",
             "StartElementBoolA(\"b\", 0)", "StartElementBoolA(\"c\", 1)", "StartElementLongA(\"x\", 5)",
             "StartElementLongA(\"y\", 6)", "StartElementFloatA(\"f\", -15)",
             "StartElementStringA(\"s\", \"A & B\")", "StartElementByteArrayA(\"d\", 3, {0x00, 0x01, 0x02})",
             "EndElementA(\"R\")", "EndDocument()"}));
}

TEST_F(XmlParse, FloatsThatAreNotFiniteAndIllFormedReferences) {
  EXPECT_EQ(RunWith("<R><a t=\"r4\">inf</a><b t=\"r4\">-inf</b><c t=\"r4\">nan</c>"
                    "<d t=\"r4\">-nan</d><e t=\"r4\">Infinity</e><f t=\"r4\">1.5e400</f>"
                    "<s t=\"s\">&#X41;&amp;&#65;&#-5;&lt;</s><!-- &#6a; &gt; --></R>"),
            S_OK);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"R\")", "StartElementFloatA(\"a\", inf)",
                          "StartElementFloatA(\"b\", -inf)", "StartElementFloatA(\"c\", nan)",
                          "StartElementFloatA(\"d\", -nan)", "StartElementFloatA(\"e\", inf)",
                          "StartElementFloatA(\"f\", inf)", "StartElementStringA(\"s\", \"#X41&A#-5<\")",
                          "CommentA(\"#6a >\")", "EndElementA(\"R\")", "EndDocument()"}));
}

TEST_F(XmlParse, SingleQuotedTypeIsUnknown) {
  EXPECT_EQ(RunWith("<R><v t='i4'>5</v></R>"), XML_E_UNKNOWNTYPE);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"R\")", "Error(0xC0050005, 1)"}));
}

TEST_F(XmlParse, Base64WithWhitespaceIsSkippedNotCorrupted) {
  EXPECT_EQ(RunWith("<R><d t=\"64Bin\">AA EC</d><n t=\"i4\">1</n></R>"), S_OK);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"R\")", "StartElementLongA(\"n\", 1)",
                          "EndElementA(\"R\")", "EndDocument()"}));
}

TEST_F(XmlParse, AbortingHandlerSeesThreeErrors) {
  EXPECT_EQ(
      RunWith("<Root>text</Root>", [](const char* m) { return std::string(m) == "Error" ? E_FAIL : S_OK; }),
      XML_E_SYNTAX);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"Root\")", "Error(0xC0050004, 1)",
                          "Error(0xC0050001, 1)", "Error(0xC0050001, 1)"}));
}

TEST_F(XmlParse, FailingCallbackWithAbortingErrorReportsItsOwnCode) {
  const HRESULT own = MakeHResult(0x80041234);
  EXPECT_EQ(RunWith("<R>\r\n<v t=\"i4\">5</v></R>",
                    [&](const char* m) {
                      std::string s(m);
                      return s == "Error" ? E_FAIL : s == "StartElementLongA" ? own : S_OK;
                    }),
            own);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"R\")", "StartElementLongA(\"v\", 5)",
                          "Error(0xC0050001, 2)", "Error(0x80041234, 2)"}));
}

TEST_F(XmlParse, FailingEndElementAtRootStillEndsTheDocument) {
  EXPECT_EQ(RunWith("<R></R>", [](const char* m) { return std::string(m) == "EndElementA" ? E_FAIL : S_OK; }),
            S_OK);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"R\")", "EndElementA(\"R\")",
                          "Error(0xC0050001, 1)", "EndDocument()"}));
}

TEST_F(XmlParse, HeaderOnlyAndTruncatedDocuments) {
  EXPECT_EQ(RunWith("<?xml version=\"1.0\"?>\r\n"), XML_E_SYNTAX);
  EXPECT_EQ(calls, Lines({"StartDocument()", "Error(0xC0050001, 1)", "Error(0xC0050001, 1)"}));
  calls.clear();
  EXPECT_EQ(RunWith("<R>\r\n<a>\r\n<v t=\"i4\">1</v>"), XML_E_SYNTAX);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"R\")", "StartElementA(\"a\")",
                          "StartElementLongA(\"v\", 1)", "Error(0xC0050001, 3)", "Error(0xC0050001, 3)"}));
}

TEST_F(XmlParse, CommentsBeforeTheHeader) {
  EXPECT_EQ(RunWith("<!-- a --><?xml version=\"1.0\"?><R></R>"), S_OK);
  EXPECT_EQ(calls, Lines({"StartDocument()", "CommentA(\"a\")", "StartElementA(\"R\")", "EndElementA(\"R\")",
                          "EndDocument()"}));
  calls.clear();
  EXPECT_EQ(RunWith("<!-- a --><!-- b --><?xml version=\"1.0\"?><R></R>"), XML_E_UNKNOWNTYPE);
  EXPECT_EQ(calls, Lines({"StartDocument()", "CommentA(\"a\")", "CommentA(\"b\")", "Error(0xC0050005, 1)"}));
}

TEST_F(XmlParse, EncodingDeclarationIsNotTheHeader) {
  EXPECT_EQ(RunWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<R>\r\n<v t=\"b\">1</v>\r\n</R>\r\n"),
            XML_E_SYNTAX);
  EXPECT_EQ(calls, Lines({"StartDocument()", "Error(0xC0050005, 1)", "StartElementA(\"R\")",
                          "StartElementBoolA(\"v\", 1)", "EndElementA(\"R\")", "Error(0xC0050001, 4)",
                          "Error(0xC0050001, 4)"}));
}

TEST_F(XmlParse, TagNamesAsScanned) {
  EXPECT_EQ(RunWith("<R><a></a ><a b></a b><c  t=\"s\">v</c></R>"), S_OK);
  EXPECT_EQ(calls,
            Lines({"StartDocument()", "StartElementA(\"R\")", "StartElementA(\"a\")", "Error(0xC0050001, 1)",
                   "EndElementA(\"a \")", "StartElementA(\"a b\")", "EndElementA(\"a b\")",
                   "StartElementStringA(\"c\", \"v\")", "EndElementA(\"R\")", "EndDocument()"}));
}

TEST_F(XmlParse, CommentWithGreaterThanIsRejected) {
  EXPECT_EQ(RunWith("<R><!-- a > b --></R>"), XML_E_SYNTAX);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"R\")", "Error(0xC0050001, 1)"}));
}

TEST_F(XmlParse, BytesBeforeTheFirstTagAndGreaterThanInTextAreHarmless) {
  EXPECT_EQ(RunWith("\xEF\xBB\xBF<R> > </R>"), S_OK);
  EXPECT_EQ(calls, Lines({"StartDocument()", "StartElementA(\"R\")", "Error(0xC0050004, 1)",
                          "EndElementA(\"R\")", "EndDocument()"}));
}

TEST_F(XmlParse, LineCounting) {
  // Any number of LFs in one piece of text counts as one line.
  EXPECT_EQ(RunWith("<R>\n\n\n<a>x</a>\n<b>\ny</b></R>"), S_OK);
  EXPECT_EQ(calls,
            Lines({"StartDocument()", "StartElementA(\"R\")", "StartElementA(\"a\")", "Error(0xC0050004, 2)",
                   "EndElementA(\"a\")", "StartElementA(\"b\")", "Error(0xC0050004, 4)", "EndElementA(\"b\")",
                   "EndElementA(\"R\")", "EndDocument()"}));
}

TEST_F(XmlParse, HandlerAddedInLeafCallbackIsRemovedAtTheNextTag) {
  auto h = Recorder("H:");
  auto g1 = Recorder("G1:");
  auto g2 = Recorder("G2:");
  h->result = [&](const char* m) {
    if (std::string(m) == "StartElementLongA") {
      parser.AddDocumentHandler(g1.Get());
      parser.AddDocumentHandler(g2.Get());
    }
    return S_OK;
  };
  parser.AddDocumentHandler(h.Get());
  EXPECT_EQ(Run("<R><a t=\"i4\">1</a><b t=\"i4\">2</b><c t=\"i4\">3</c></R>"), S_OK);
  EXPECT_EQ(calls, Lines({"H:StartDocument()", "H:StartElementA(\"R\")", "H:StartElementLongA(\"a\", 1)",
                          "G1:StartElementLongA(\"b\", 2)", "H:StartElementLongA(\"c\", 3)",
                          "H:EndElementA(\"R\")", "H:EndDocument()"}));
}

TEST_F(XmlParse, HandlerAddedInEmptyTagGetsItsEndElement) {
  auto h = Recorder("H:");
  auto g = Recorder("G:");
  h->result = [&](const char* m) {
    if (calls.back() == "H:StartElementA(\"x\")") parser.AddDocumentHandler(g.Get());
    (void)m;
    return S_OK;
  };
  parser.AddDocumentHandler(h.Get());
  EXPECT_EQ(Run("<R><x/><y t=\"b\">1</y></R>"), S_OK);
  EXPECT_EQ(calls, Lines({"H:StartDocument()", "H:StartElementA(\"R\")", "H:StartElementA(\"x\")",
                          "G:EndElementA(\"x\")", "H:StartElementBoolA(\"y\", 1)", "H:EndElementA(\"R\")",
                          "H:EndDocument()"}));
}

TEST_F(XmlParse, WithoutHandlerTheDocumentIsStillScanned) {
  EXPECT_EQ(Run(kSample), S_OK);
  EXPECT_EQ(Run("<R><v t='x'>1</v></R>"), XML_E_UNKNOWNTYPE);
}

TEST_F(XmlParse, HandlersMustBeAddedAgainForEveryParse) {
  auto h = Recorder();
  parser.AddDocumentHandler(h.Get());
  EXPECT_EQ(Run("<R></R>"), S_OK);
  EXPECT_EQ(calls.size(), 4u);
  EXPECT_EQ(Run("<R></R>"), S_OK);
  EXPECT_EQ(calls.size(), 4u);
}

TEST_F(XmlParse, NullArgumentsAndNestedParse) {
  EXPECT_EQ(parser.AddDocumentHandler(nullptr), E_POINTER);
  EXPECT_EQ(parser.GetActiveDocumentHandler(nullptr), E_POINTER);
  EXPECT_EQ(parser.RemoveDocumentHandler(), E_FAIL);
  EXPECT_EQ(parser.Parse(nullptr), E_INVALIDARG);
  HRESULT nested = S_OK;
  EXPECT_EQ(RunWith("<R></R>",
                    [&](const char* m) {
                      if (std::string(m) == "StartElementA") {
                        MemorySource other("<X></X>");
                        nested = parser.Parse(&other);
                      }
                      return S_OK;
                    }),
            S_OK);
  EXPECT_EQ(nested, E_UNEXPECTED);
}

TEST_F(XmlParse, DeepNestingNeedsNoStack) {
  const int depth = 200000;
  std::string doc;
  for (int i = 0; i < depth; ++i) doc += "<e>";
  doc += "<v t=\"i4\">1</v>";
  for (int i = 0; i < depth; ++i) doc += "</e>";
  size_t count = 0;
  auto h = CallRecorder::Make();
  h->sink = [&](const std::string&) { ++count; };
  parser.AddDocumentHandler(h.Get());
  EXPECT_EQ(Run(doc), S_OK);
  EXPECT_EQ(count, size_t(2 * depth + 3));
}

TEST_F(XmlParse, LongValuesAndCommentsSpanningManyBlocks) {
  std::string big(3 << 20, 'x');
  std::string doc = "<R><!-- " + big + " --><s t=\"s\">" + big + "</s></R>";
  size_t sizes = 0;
  auto h = CallRecorder::Make();
  h->sink = [&](const std::string& line) { sizes += line.size(); };
  parser.AddDocumentHandler(h.Get());
  EXPECT_EQ(Run(doc), S_OK);
  EXPECT_GT(sizes, 2 * big.size());
}

TEST_F(XmlParse, ReadFailureEndsTheDocument) {
  std::string doc = "<R>" + std::string(5000, ' ') + "<v t=\"i4\">1</v></R>";
  MemorySource source(doc, 4096);
  auto h = Recorder();
  parser.AddDocumentHandler(h.Get());
  EXPECT_EQ(parser.Parse(&source), XML_E_SYNTAX);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.back(), "Error(0xC0050001, 1)");
}

// The scanner alone.
TEST(XmlScanner, BlockBoundaries) {
  CSaxParser p{TraceChannel("CSaxParser", nullptr)};
  // A tag across the boundary of two 2048-byte blocks comes whole.
  std::string doc = std::string(2045, ' ') + "<abcdef>";
  MemorySource source(doc);
  p.Begin(&source);
  std::string_view tag;
  ASSERT_EQ(p.GetNextTag(tag), S_OK);
  EXPECT_EQ(tag, "<abcdef>");
  ASSERT_EQ(p.GetNextTag(tag), S_OK);
  EXPECT_EQ(tag, "");
  EXPECT_TRUE(p.EndOfInput());

  // Exactly 2048 bytes: one full block, then an empty read sets the end.
  std::string exact = "<a>" + std::string(2048 - 7, 'v') + "</a>";
  ASSERT_EQ(exact.size(), 2048u);
  MemorySource source2(exact);
  p.Begin(&source2);
  ASSERT_EQ(p.GetNextTag(tag), S_OK);
  EXPECT_EQ(tag, "<a>");
  EXPECT_FALSE(p.EndOfInput());
  std::string_view value;
  ASSERT_EQ(p.GetNextValue(value), S_OK);
  EXPECT_EQ(value.size(), 2041u);
  ASSERT_EQ(p.GetNextTag(tag), S_OK);
  EXPECT_EQ(tag, "</a>");
  ASSERT_EQ(p.GetNextTag(tag), S_OK);
  EXPECT_EQ(tag, "");
  EXPECT_TRUE(p.EndOfInput());
}

TEST(XmlScanner, Classification) {
  CSaxParser p{TraceChannel("CSaxParser", nullptr)};
  MemorySource none("");
  p.Begin(&none);
  std::string name;
  TagType type = TAG_NONE;
  bool empty = false;
  struct Case {
    const char* tag;
    HRESULT hr;
    TagType type;
    const char* name;
    bool empty;
  } cases[] = {
      {"<!-- note -->", S_OK, TAG_COMMENT, "note", false},
      {"<!---->", S_OK, TAG_COMMENT, "", false},
      {"<!-- x", XML_E_SYNTAX, TAG_NONE, "", false},
      {"</a>", S_OK, TAG_END, "a", false},
      {"<a/>", S_OK, TAG_EMPTY, "a", false},
      {"<a>", S_OK, TAG_BEGIN, "a", false},
      {"", XML_E_SYNTAX, TAG_NONE, "", false},
      {"<v t=\"64Bin\"/>", S_OK, TAG_BYTEARRAY, "v", true},
      {"<v t=\"s\" u=\"b\">", S_OK, TAG_BOOL, "v", false},
      {"<v=\"i4\">", XML_E_SYNTAX, TAG_NONE, "v=\"i4\"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(p.GetTagType(c.tag, name, type, empty), c.hr) << c.tag;
    EXPECT_EQ(type, c.type) << c.tag;
    EXPECT_EQ(name, c.name) << c.tag;
    EXPECT_EQ(empty, c.empty) << c.tag;
  }
}
