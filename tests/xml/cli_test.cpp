// The xmlweave tool, run as a user runs it.
#include <gtest/gtest.h>

#include "temp_home.h"
#include "win/file.h"
#include "win/registry.h"

namespace {

class XmlCli : public ::testing::Test {
 protected:
  int Run(const std::string& args, std::string* out) {
    return testsupport::RunCommand(testsupport::BinDir() + "/xmlweave " + args + " 2>/dev/null", out);
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
  for (const char* call : {"StartElementLongA", "StartElementBoolA", "StartElementFloatA",
                           "StartElementStringA", "StartElementByteArrayA",
                           "StartElementLongArrayA", "CommentA"})
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
