// The download and memory commands as a user runs them.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "data/blockinfo.h"
#include "data/records.h"
#include "temp_home.h"

namespace {

class DownloadCli : public ::testing::Test {
 protected:
  int Run(const std::string& args, std::string* out = nullptr) {
    std::string ignored;
    return testsupport::RunCommand(
        "DX47X_HOME='" + home.Path() + "' '" + testsupport::BinDir() + "/dx47x-host' " + args + " 2>&1",
        out ? out : &ignored);
  }
  // A registered plug-in, a new project and a display at 1.1.5.
  void AddDevice() {
    ASSERT_EQ(Run("register"), 0);
    ASSERT_EQ(Run("init"), 0);
    ASSERT_EQ(Run("add-device 1.1.5"), 0);
  }
  testsupport::TempHome home;
};

TEST_F(DownloadCli, PartialDownloadAfterOneChangedCharacter) {
  ASSERT_NO_FATAL_FAILURE(AddDevice());
  std::string out;
  ASSERT_EQ(Run("download 1.1.5 --full", &out), 0) << out;
  EXPECT_NE(out.find("complete download (a complete download was requested): "), std::string::npos) << out;
  EXPECT_NE(out.find("; application data: 33 bytes in 3 telegrams"), std::string::npos) << out;

  const std::string file = home.Path() + "/blob.bin";
  ASSERT_EQ(Run("blob 1.1.5 --export " + file), 0);
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(bytes.size(), sizeof(dx470::TYPE_DX470_BLOB_COMPLETE));
  auto* blob = reinterpret_cast<dx470::TYPE_DX470_BLOB_COMPLETE*>(bytes.data());
  blob->Current.Lcd.Messages[0].Text[0][1] = 'X';
  dx470::UpdateBlockInformation(blob->Current);
  std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  ASSERT_EQ(Run("blob 1.1.5 --import " + file), 0);

  ASSERT_EQ(Run("download 1.1.5", &out), 0) << out;
  // The block identifier made invalid, one character, the two bytes of the
  // messages' checksum, then the block information: 1 + 1 + 2 + 20 bytes in
  // 1 + 1 + 1 + 2 telegrams; the block information and the general bytes
  // (35) are read back in 3.
  EXPECT_NE(out.find("Checking data for download"), std::string::npos) << out;
  EXPECT_NE(out.find("partial download: 24 bytes written in 5 memory-write telegrams"), std::string::npos)
      << out;
  EXPECT_NE(out.find("3 read telegrams"), std::string::npos) << out;
  EXPECT_NE(out.find("line time at least"), std::string::npos) << out;
  EXPECT_NE(out.find("application data skipped"), std::string::npos) << out;

  ASSERT_EQ(Run("memory 1.1.5 --from 7840 --length 16", &out), 0);
  EXPECT_NE(out.find("7840  00 00 00 00 00 54 58"), std::string::npos) << out;  // "TX" of "TXxt?"
  EXPECT_NE(out.find("2 restart(s)"), std::string::npos) << out;
  ASSERT_EQ(Run("memory 1.1.5 --from 0x7820 --length 20 --out " + home.Path() + "/mem.bin"), 0);
  std::ifstream mem(home.Path() + "/mem.bin", std::ios::binary | std::ios::ate);
  EXPECT_EQ(mem.tellg(), 20);
}

TEST_F(DownloadCli, ArgumentsAndMissingDevices) {
  ASSERT_EQ(Run("init"), 0);
  EXPECT_EQ(Run("download"), 2);
  EXPECT_EQ(Run("download 1.1.5 --mode 300"), 2);
  EXPECT_EQ(Run("download 1.1.5 --full --mode 1"), 2);
  EXPECT_EQ(Run("memory 1.1.5 --from 0x10000"), 2);
  std::string out;
  EXPECT_EQ(Run("download 1.1.9", &out), 1);
  EXPECT_NE(out.find("dx47x-host:"), std::string::npos);
}

TEST_F(DownloadCli, DemoRunsTwice) {
  std::string out;
  ASSERT_EQ(Run("demo", &out), 0) << out;
  ASSERT_EQ(Run("demo", &out), 0) << out;
  EXPECT_NE(out.find("complete download ("), std::string::npos) << out;
  EXPECT_NE(out.find("partial download: 24 bytes"), std::string::npos) << out;
}

// The application data of a download follows a BLOB imported without the
// editor in that same download, not only in the next one.
TEST_F(DownloadCli, ApplicationDataFollowsAnImportedConfigurationAtOnce) {
  ASSERT_NO_FATAL_FAILURE(AddDevice());
  const std::string file = home.Path() + "/blob.bin";
  ASSERT_EQ(Run("blob 1.1.5 --export " + file), 0);
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(bytes.size(), sizeof(dx470::TYPE_DX470_BLOB_COMPLETE));
  auto* blob = reinterpret_cast<dx470::TYPE_DX470_BLOB_COMPLETE*>(bytes.data());
  blob->Current.MessageKind[0] = 7;   // parameter 1
  blob->Current.MessageType[15] = 3;  // parameter 32
  std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  ASSERT_EQ(Run("blob 1.1.5 --import " + file), 0);

  std::string out;
  ASSERT_EQ(Run("download 1.1.5 --full", &out), 0) << out;
  ASSERT_EQ(Run("memory 1.1.5 --from 0x0100 --length 33", &out), 0);
  EXPECT_NE(out.find("0100  07 "), std::string::npos) << out;
  EXPECT_NE(out.find("0110  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 03"), std::string::npos) << out;
}

// A registry that cannot be read is named, file and line, not "class not
// registered".
TEST_F(DownloadCli, AnUnreadableRegistryIsNamed) {
  ASSERT_NO_FATAL_FAILURE(AddDevice());
  const std::string hive = home.Path() + "/registry/HKCR.reg";
  std::ofstream(hive, std::ios::app) << "a line of no meaning\n";
  std::string out;
  EXPECT_EQ(Run("download 1.1.5", &out), 1);
  EXPECT_NE(out.find("the registry file " + hive + " is corrupt: line"), std::string::npos) << out;
}

TEST_F(DownloadCli, TheSummarySaysWhatWasAndWasNotWritten) {
  ASSERT_NO_FATAL_FAILURE(AddDevice());
  std::string out;
  ASSERT_EQ(Run("download 1.1.5 --mode 0", &out), 0) << out;
  EXPECT_EQ(out.find("partial download"), std::string::npos) << out;
  EXPECT_NE(out.find("the display's configuration was not downloaded"), std::string::npos) << out;
  EXPECT_NE(out.find("application data skipped"), std::string::npos) << out;

  ASSERT_EQ(Run("download 1.1.5", &out), 0) << out;
  EXPECT_NE(out.find("complete download (the configuration was never downloaded): "), std::string::npos)
      << out;

  // The memory ends at 0xFFFF: a dump that would pass it says so.
  ASSERT_EQ(Run("memory 1.1.5 --from 0xFFF0 --length 64", &out), 0) << out;
  EXPECT_NE(out.find("16 of the 64 bytes asked for: the memory ends at 0xFFFF"), std::string::npos) << out;
  EXPECT_NE(out.find("FFF0  00"), std::string::npos) << out;
}

}  // namespace

namespace {

// A corrupted BLOB stored anyway (--force) is named for what is wrong with
// it, before the plug-in is asked, and nothing is written to the device.
TEST_F(DownloadCli, ADamagedConfigurationIsNamedAndNothingIsWritten) {
  ASSERT_NO_FATAL_FAILURE(AddDevice());
  const std::string file = home.Path() + "/blob.bin";
  ASSERT_EQ(Run("blob 1.1.5 --export " + file), 0);
  std::ifstream in(file, std::ios::binary);
  std::vector<char> good((std::istreambuf_iterator<char>(in)), {});

  struct Case {
    const char* what;
    std::vector<char> bytes;
    const char* text;
  };
  std::vector<char> shorter(good.begin(), good.end() - 1), newer = good;
  newer[0] = 1;  // version 0x00010001
  for (const Case& c :
       {Case{"one byte short", shorter, "the stored configuration is 112291 bytes, not 112292"},
        Case{"other version", newer, "the stored configuration has version 0x00010001"}}) {
    SCOPED_TRACE(c.what);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(c.bytes.data(), std::streamsize(c.bytes.size()));
    ASSERT_EQ(Run("blob 1.1.5 --import " + file + " --force"), 0);
    std::string out;
    EXPECT_EQ(Run("list", &out), 0);
    EXPECT_NE(out.find("invalid"), std::string::npos) << out;
    EXPECT_EQ(Run("download 1.1.5", &out), 1);
    EXPECT_NE(out.find(c.text), std::string::npos) << out;
    EXPECT_EQ(Run("memory 1.1.5 --length 4", &out), 0);
    EXPECT_NE(out.find("7820  00 00 00 00"), std::string::npos) << out;
  }
}

}  // namespace
