// The project commands of dx47x-host, run as a separate program with a
// temporary $DX47X_HOME (no plug-in registered there).
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "temp_home.h"
#include "win/file.h"

namespace {

class ProjectCli : public ::testing::Test {
 protected:
  // Runs dx47x-host with the arguments; output holds stdout and stderr.
  int Run(const std::string& args) {
    return testsupport::RunCommand(testsupport::BinDir() + "/dx47x-host " + args + " 2>&1", &output);
  }
  void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  // A BLOB of the right size and version with message slot 3 (index 2)
  // receiving type 3 and sending type 8, and a first text row.
  static std::vector<uint8_t> Blob(uint32_t version = 0x00010000, size_t size = 112292) {
    std::vector<uint8_t> b(size);
    for (int i = 0; i < 4; ++i) b[i] = uint8_t(version >> (8 * i));
    const size_t param = 14;
    b[param + 2 + 2] = 3;
    b[param + 18 + 2] = 8;
    const char text[] = "Temp\x01rature";
    std::copy(text, text + sizeof text - 1, b.begin() + param + 69 + 236 * 2 + 2);
    return b;
  }
  bool Has(const std::string& text) const { return output.find(text) != std::string::npos; }

  testsupport::TempHome home;
  std::string output;
};

TEST_F(ProjectCli, InitCreatesOnceAndCommandsNeedAProject) {
  EXPECT_EQ(Run("list"), 1);
  EXPECT_TRUE(Has("does not exist")) << output;
  EXPECT_FALSE(win::FileExists(home.Path() + "/project.db"));
  EXPECT_EQ(Run("init"), 0) << output;
  EXPECT_EQ(Run("init"), 1);
  EXPECT_TRUE(Has("already exists")) << output;
  EXPECT_EQ(Run("list"), 0) << output;
  EXPECT_TRUE(Has("0 devices")) << output;

  std::string other = home.Path() + "/deep/folder/other.db";
  EXPECT_EQ(Run("--project " + other + " init --name Office"), 0) << output;
  EXPECT_EQ(Run("--project " + other + " list"), 0);
  EXPECT_TRUE(Has("'Office'")) << output;
  std::ofstream(home.Path() + "/junk.db") << "not a project";
  EXPECT_EQ(Run("--project " + home.Path() + "/junk.db list"), 1);
  EXPECT_TRUE(Has("not a project")) << output;
}

// Addresses and numbers are digits only: no sign, blank or other form a
// number parser would take on the way.
TEST_F(ProjectCli, AddressesAndNumbersAreParsedStrictly) {
  ASSERT_EQ(Run("init"), 0) << output;
  for (const char* address : {"1.1.-0", "+1.1.5", "1.+1.5", "1.1. 5", "1.1.5x", "1..5", "16.1.5"})
    EXPECT_EQ(Run(std::string("add-device \"") + address + "\""), 2) << address << ": " << output;
  for (const char* group : {"1/2/-0", "+1/2/3", "32/0/0", "1/2/3/4"})
    EXPECT_EQ(Run(std::string("group-address add \"") + group + "\" Name"), 2) << group << ": " << output;
  EXPECT_EQ(Run("download 1.1.5 --mode -1"), 2) << output;
  EXPECT_EQ(Run("download 1.1.5 --mode \" 1\""), 2) << output;
  EXPECT_EQ(Run("memory 1.1.5 --length +10"), 2) << output;
  EXPECT_EQ(Run("memory 1.1.5 --from -0x10"), 2) << output;
}

TEST_F(ProjectCli, DevicesAreAddedCopiedLinkedAndDeleted) {
  ASSERT_EQ(Run("init"), 0);
  // Without a registered plug-in the call fails, but the device stays.
  EXPECT_EQ(Run("add-device 1.1.5 --name Hall"), 1);
  EXPECT_TRUE(Has("kept")) << output;
  EXPECT_EQ(Run("add-device 1.1.5"), 1);
  EXPECT_TRUE(Has("already taken")) << output;
  EXPECT_EQ(Run("add-device 1.1.6 --copy-of 1.1.5"), 1);
  EXPECT_EQ(Run("add-device 1.1.7 --copy-of 1.1.9"), 1);
  EXPECT_TRUE(Has("no device")) << output;
  EXPECT_EQ(Run("add-device 16.1.1"), 2);
  EXPECT_EQ(Run("add-device"), 2);
  EXPECT_EQ(Run("add-device 1.1.8 --colour red"), 2);
  EXPECT_EQ(Run("frobnicate"), 2);

  ASSERT_EQ(Run("list"), 0);
  EXPECT_TRUE(Has("2 devices")) << output;
  EXPECT_NE(output.find("1.1.6       Hall"), std::string::npos) << output;
  EXPECT_FALSE(Has("1.1.7")) << output;

  EXPECT_EQ(Run("group-address add 1/2/3 Light"), 0) << output;
  EXPECT_EQ(Run("group-address add 1/2/3 Again"), 1);
  EXPECT_EQ(Run("group-address add 32/0/0 Bad"), 2);
  EXPECT_EQ(Run("link 1.1.5 1 1/2/3"), 0) << output;
  EXPECT_EQ(Run("link 1.1.5 1 1/2/4"), 1);
  EXPECT_EQ(Run("link 1.1.5 99 1/2/3"), 1);
  EXPECT_EQ(Run("link 1.1.5 x 1/2/3"), 2);
  ASSERT_EQ(Run("show 1.1.5"), 0);
  EXPECT_TRUE(Has("Receive message 1")) << output;
  EXPECT_TRUE(Has("-> 1/2/3")) << output;
  EXPECT_TRUE(Has("Parameters (33")) << output;
  EXPECT_TRUE(Has("33=0")) << output;
  EXPECT_TRUE(Has("BLOB: none")) << output;

  EXPECT_EQ(Run("delete-device 1.1.6"), 0) << output;
  EXPECT_EQ(Run("delete-device 1.1.6"), 1);
  EXPECT_EQ(Run("show 1.1.6"), 1);
}

TEST_F(ProjectCli, BlobsAreExportedImportedAndJudged) {
  ASSERT_EQ(Run("init"), 0);
  Run("add-device 1.1.5");
  Run("add-device 1.1.6");
  std::string good = home.Path() + "/good.bin", back = home.Path() + "/back.bin";
  WriteBytes(good, Blob());
  EXPECT_EQ(Run("blob 1.1.5 --export " + back), 1);
  EXPECT_TRUE(Has("no BLOB")) << output;
  EXPECT_FALSE(win::FileExists(back));

  EXPECT_EQ(Run("blob 1.1.5 --import " + good), 0) << output;
  ASSERT_EQ(Run("list"), 0);
  EXPECT_TRUE(Has("ok (112292 bytes, version 0x00010000)")) << output;
  ASSERT_EQ(Run("show 1.1.5"), 0);
  EXPECT_TRUE(Has("Used messages: 1")) << output;
  EXPECT_TRUE(Has("slot  3: receive type  3, send type  8, text \"Temp.rature")) << output;
  EXPECT_EQ(Run("blob 1.1.5 --export " + back), 0) << output;
  std::vector<uint8_t> exported;
  ASSERT_EQ(win::ReadWholeFile(back, exported), ERROR_SUCCESS);
  EXPECT_EQ(exported, Blob());

  std::string shortBlob = home.Path() + "/short.bin", oldBlob = home.Path() + "/old.bin";
  WriteBytes(shortBlob, Blob(0x00010000, 112291));
  WriteBytes(oldBlob, Blob(0x00010001));
  EXPECT_EQ(Run("blob 1.1.6 --import " + shortBlob), 0) << output;
  EXPECT_EQ(Run("blob 1.1.5 --import " + oldBlob), 0) << output;
  ASSERT_EQ(Run("list"), 0);
  EXPECT_TRUE(Has("invalid (112291 bytes, expected 112292)")) << output;
  EXPECT_TRUE(Has("invalid (version 0x00010001, expected 0x00010000)")) << output;

  EXPECT_EQ(Run("blob 1.1.5 --import " + home.Path() + "/missing.bin"), 1);
  EXPECT_EQ(Run("blob 1.1.5"), 2);
  EXPECT_EQ(Run("blob 1.1.5 --import a --export b"), 2);

  // Kept data is found by the device added next at the address.
  EXPECT_EQ(Run("delete-device 1.1.5 --keep-data"), 0);
  Run("add-device 1.1.5");
  ASSERT_EQ(Run("list"), 0);
  EXPECT_TRUE(Has("invalid (version 0x00010001")) << output;
  EXPECT_EQ(Run("delete-device 1.1.5"), 0);
  Run("add-device 1.1.5");
  ASSERT_EQ(Run("show 1.1.5"), 0);
  EXPECT_TRUE(Has("BLOB: none")) << output;
}

}  // namespace
