// The xmlweave tool, run as a user runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "temp_home.h"
#include "win/file.h"
#include "win/registry.h"

namespace {

class XmlCli : public ::testing::Test {
 protected:
  int Run(const std::string& args, std::string* out) {
    return testsupport::RunCommand(testsupport::BinDir() + "/xmlweave " + args + " 2>/dev/null", out);
  }
  // Standard error only.
  int RunErr(const std::string& args, std::string* err) {
    return testsupport::RunCommand(testsupport::BinDir() + "/xmlweave " + args + " 2>&1 >/dev/null", err);
  }
  std::string Read(const std::string& path) {
    std::vector<uint8_t> bytes;
    win::ReadWholeFile(path, bytes);
    return std::string(bytes.begin(), bytes.end());
  }
  size_t EntryCount() {
    return size_t(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                std::filesystem::directory_iterator()));
  }
  std::string Write(const std::string& name, const std::string& text) {
    std::string path = dir.File(name);
    win::WriteFileAtomic(path, text);
    return path;
  }
  testsupport::TempHome home;
  testsupport::TempDir dir;
};

}  // namespace

TEST_F(XmlCli, DumpPrintsEveryCallAndTheResult) {
  std::string out;
  auto good = Write("good.xml",
                    "<?xml version=\"1.0\"?>\r\n<Project>\r\n\t<schemaversion>2.1</schemaversion>\r\n"
                    "\t<Address t=\"i4\">4354</Address>\r\n\t<B t=\"64Bin\">AAEC</B>\r\n</Project>\r\n");
  EXPECT_EQ(Run("dump " + good, &out), 0);
  EXPECT_EQ(out,
            "StartDocument()\nStartElementA(\"Project\")\nFileVersionA(\"schemaversion\", \"2.1\")\n"
            "StartElementLongA(\"Address\", 4354)\n"
            "StartElementByteArrayA(\"B\", 3, {0x00, 0x01, 0x02})\nEndElementA(\"Project\")\n"
            "EndDocument()\n");
  auto bad = Write("bad.xml", "<R>\n<a>\n");
  EXPECT_EQ(Run("dump " + bad, &out), 1);
  EXPECT_EQ(out,
            "StartDocument()\nStartElementA(\"R\")\nStartElementA(\"a\")\nError(0xC0050001, 2)\n"
            "Error(0xC0050001, 2)\n");
  EXPECT_EQ(Run("dump " + dir.File("missing.xml"), &out), 1);
  EXPECT_EQ(Run("dump", &out), 2);
  EXPECT_EQ(Run("frobnicate x", &out), 2);
}

TEST_F(XmlCli, GenAndCopyKeepEveryCall) {
  std::string out, copied;
  const std::string gen = dir.File("gen.xml"), copy = dir.File("copy.xml");
  ASSERT_EQ(Run("gen --leaves 500 " + gen, &out), 0);
  ASSERT_EQ(Run("dump " + gen, &out), 0);
  for (const char* call :
       {"StartElementLongA", "StartElementBoolA", "StartElementFloatA", "StartElementStringA",
        "StartElementByteArrayA", "StartElementLongArrayA", "CommentA"})
    EXPECT_NE(out.find(call), std::string::npos) << call;
  // The copy honours the registry: switches off give one line.
  ASSERT_EQ(Run("copy " + gen + " " + copy, &copied), 0);
  ASSERT_EQ(Run("dump " + copy, &copied), 0);
  EXPECT_EQ(copied, out);
  std::vector<uint8_t> bytes;
  win::ReadWholeFile(copy, bytes);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 0);
  EXPECT_EQ(Run("gen --leaves x " + gen, &out), 2);
}

// Failed copies, errors and their texts.

TEST_F(XmlCli, CopyOfATruncatedDocumentLeavesOutAsItWas) {
  std::string out, err;
  const std::string gen = dir.File("gen.xml"), outPath = dir.File("out.xml");
  ASSERT_EQ(Run("gen --leaves 200 " + gen, &out), 0);
  const std::string good = Read(gen);
  const std::string old = "<?xml version=\"1.0\"?><Old><schemaversion>9</schemaversion></Old>";
  Write("out.xml", old);
  for (size_t cut : {good.size() / 2, good.size() - 3, size_t(30)}) {
    SCOPED_TRACE(cut);
    const std::string in = Write("cut.xml", good.substr(0, cut));
    EXPECT_EQ(RunErr("copy " + in + " " + outPath, &err), 1);
    EXPECT_EQ(Read(outPath), old);
    EXPECT_NE(err.find(in + ":"), std::string::npos) << err;
    EXPECT_NE(err.find("(0xC0050001)"), std::string::npos) << err;
    EXPECT_NE(err.find(outPath + ": not written"), std::string::npos) << err;
    EXPECT_EQ(EntryCount(), 3u);  // gen.xml, out.xml, cut.xml: no temporary file left
  }
  // A missing input fails before OUT is touched; a good one replaces it.
  EXPECT_EQ(RunErr("copy " + dir.File("missing.xml") + " " + outPath, &err), 1);
  EXPECT_NE(err.find("cannot find the file"), std::string::npos) << err;
  EXPECT_EQ(Read(outPath), old);
  EXPECT_EQ(Run("copy " + gen + " " + outPath, &out), 0);
  EXPECT_NE(Read(outPath), old);
}

TEST_F(XmlCli, MismatchedEndTagFailsDumpAndCopyWithItsLine) {
  std::string out, err;
  const std::string bad = Write("bad.xml", "<?xml version=\"1.0\"?>\n<A>\n</B>\n");
  EXPECT_EQ(Run("dump " + bad, &out), 1);
  EXPECT_NE(out.find("Error(0xC0050001, 3)"), std::string::npos) << out;
  EXPECT_EQ(RunErr("dump " + bad, &err), 1);
  EXPECT_EQ(err, "xmlweave: " + bad +
                     ":3: syntax error, premature end, mismatched end tag or "
                     "failed handler call (0xC0050001)\n");
  const std::string outPath = dir.File("out.xml");
  EXPECT_EQ(RunErr("copy " + bad + " " + outPath, &err), 1);
  EXPECT_NE(err.find(bad + ":3: "), std::string::npos) << err;
  EXPECT_FALSE(win::FileExists(outPath));
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(XmlCli, ErrorsThatLetTheParseGoOnStillFailIt) {
  std::string out, err;
  // Text in a plain element and an unknown type: reported with their meaning.
  const std::string text = Write("text.xml", "<?xml version=\"1.0\"?>\n<R>oops</R>\n");
  EXPECT_EQ(RunErr("dump " + text, &err), 1);
  EXPECT_NE(err.find(":2: text in an element without a type (0xC0050004)"), std::string::npos) << err;
  EXPECT_EQ(RunErr("copy " + text + " " + dir.File("o.xml"), &err), 1);
  EXPECT_FALSE(win::FileExists(dir.File("o.xml")));
  const std::string type = Write("type.xml", "<R>\n<v t=\"x\">1</v></R>");
  EXPECT_EQ(RunErr("dump " + type, &err), 1);
  EXPECT_NE(err.find(":2: the type attribute names none of"), std::string::npos) << err;
  EXPECT_NE(err.find("(0xC0050005)"), std::string::npos) << err;
}

TEST_F(XmlCli, GenRefusesCountsThatAreNotPlainDigits) {
  std::string out, err;
  const std::string gen = dir.File("gen.xml");
  for (const char* n : {"-1", "+5", "' 5'", "'5 '", "''", "0x10", "5x", "1e3", "10000001",
                        "18446744073709551615", "99999999999999999999999"}) {
    EXPECT_EQ(RunErr(std::string("gen --leaves ") + n + " " + gen, &err), 2) << n;
    EXPECT_NE(err.find("gen: N must be"), std::string::npos) << err;
    EXPECT_FALSE(win::FileExists(gen)) << n;
  }
  EXPECT_EQ(Run("gen --leaves 0 " + gen, &out), 0);
  EXPECT_EQ(Read(gen),
            "<?xml version=\"1.0\"?>\r\n<Project>\r\n\t<schemaversion>1.0</schemaversion>"
            "\r\n</Project>\r\n");
  EXPECT_EQ(Run("gen --leaves 007 " + gen, &out), 0);
}

TEST_F(XmlCli, CopyOfACopyIsTheCopy) {
  std::string out;
  const std::string in =
      Write("in.xml",
            "<?xml version=\"1.0\"?>\r\n<R>\r\n\t<schemaversion>a&amp;b &lt;2&gt; &#65;</schemaversion>"
            "\r\n\t<s t=\"s\">&#X41;x&amp;y&quot;</s>\r\n\t<f t=\"r4\">inf</f><g t=\"r4\">-nan</g>"
            "<h t=\"r4\">3.14159265</h>\r\n\t<!-- a &amp; b -->\r\n\t<P>\r\n\t\t<l t=\"la\">1,-2</l>"
            "\r\n\t</P>\r\n</R>\r\n");
  const std::string once = dir.File("once.xml"), twice = dir.File("twice.xml");
  ASSERT_EQ(Run("copy " + in + " " + once, &out), 0);
  ASSERT_EQ(Run("copy " + once + " " + twice, &out), 0);
  EXPECT_EQ(Read(twice), Read(once));
  EXPECT_NE(Read(once).find("<schemaversion>a&amp;b &lt;2&gt; A</schemaversion>"), std::string::npos)
      << Read(once);
  ASSERT_EQ(Run("dump " + twice, &out), 0);
  EXPECT_NE(out.find("StartElementFloatA(\"f\", inf)"), std::string::npos) << out;
  EXPECT_NE(out.find("StartElementFloatA(\"g\", -nan)"), std::string::npos) << out;
  EXPECT_NE(out.find("StartElementStringA(\"s\", \"#X41x&y\\\"\")"), std::string::npos) << out;
}

TEST_F(XmlCli, CopyToDevNullLeavesTheDevice) {
  std::string out;
  const std::string gen = dir.File("gen.xml");
  ASSERT_EQ(Run("gen --leaves 20 " + gen, &out), 0);
  EXPECT_EQ(Run("copy " + gen + " /dev/null", &out), 0);
  struct stat st {};
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}
