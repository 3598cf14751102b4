// device, objects and group-address import, run as a separate program with
// a temporary $DX47X_HOME.
#include <gtest/gtest.h>

#include <fstream>

#include "temp_home.h"

namespace {

class ObjectsCli : public ::testing::Test {
 protected:
  ObjectsCli() {
    EXPECT_EQ(Run("init --name Office"), 0) << output;
    // A device is added only with the configuration the plug-in gives it.
    EXPECT_EQ(Run("register"), 0) << output;
    EXPECT_EQ(Run("add-device 1.1.5"), 0) << output;
  }
  int Run(const std::string& args, bool withStderr = true) {
    return testsupport::RunCommand(
        testsupport::BinDir() + "/dx47x-host " + args + (withStderr ? " 2>&1" : " 2>/dev/null"), &output);
  }
  std::string Csv(const std::string& name, const std::string& text) {
    std::string path = home.Path() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  bool Has(const std::string& text) const { return output.find(text) != std::string::npos; }

  testsupport::TempHome home;
  std::string output;
};

TEST_F(ObjectsCli, DeviceDataIsShownAndChanged) {
  ASSERT_EQ(Run("device 1.1.5"), 0) << output;
  EXPECT_TRUE(Has("Manufacturer:        Vornak")) << output;
  ASSERT_EQ(Run("device 1.1.5 --product \"Text display\" --manufacturer Acme --order-number "
                "X-1 --description \"Lobby, left\" --program \"Prog 2\""),
            0)
      << output;
  ASSERT_EQ(Run("show 1.1.5"), 0);
  EXPECT_TRUE(Has("Product:             Text display")) << output;
  EXPECT_TRUE(Has("Manufacturer:        Acme")) << output;
  EXPECT_TRUE(Has("Order number:        X-1")) << output;
  EXPECT_TRUE(Has("Description:         Lobby, left")) << output;
  EXPECT_TRUE(Has("Application program: Prog 2")) << output;
  EXPECT_EQ(Run("device 1.1.5 --colour red"), 2);
  EXPECT_EQ(Run("device 1.1.5 --product"), 2);
  EXPECT_EQ(Run("device"), 2);
  EXPECT_EQ(Run("device 1.1.9 --product P"), 1);
  EXPECT_TRUE(Has("no device")) << output;
}

TEST_F(ObjectsCli, ObjectsListLinksInOrderAndHideAndShow) {
  ASSERT_EQ(Run("group-address add 1/2/3 Light"), 0);
  ASSERT_EQ(Run("group-address add 0/0/1 First"), 0);
  ASSERT_EQ(Run("link 1.1.5 3 1/2/3"), 0);
  ASSERT_EQ(Run("link 1.1.5 3 0/0/1"), 0);
  ASSERT_EQ(Run("objects 1.1.5"), 0) << output;
  EXPECT_TRUE(Has("device 1.1.5: 35 communication objects")) << output;
  EXPECT_TRUE(Has("NUMBER  NAME")) << output;
  EXPECT_NE(output.find("     3  Receive message 3       Receive value   no      1/2/3 0/0/1\n"),
            std::string::npos)
      << output;

  ASSERT_EQ(Run("objects 1.1.5 --hide 3 --hide 34"), 0) << output;
  EXPECT_TRUE(Has("Receive value   yes     1/2/3 0/0/1")) << output;
  EXPECT_TRUE(Has("Acknowledge     yes")) << output;
  // An unknown number changes nothing, not even the valid ones before it.
  EXPECT_EQ(Run("objects 1.1.5 --show 3 --hide 99"), 1);
  EXPECT_TRUE(Has("no communication object 99")) << output;
  ASSERT_EQ(Run("objects 1.1.5"), 0);
  EXPECT_TRUE(Has("Receive value   yes")) << output;
  ASSERT_EQ(Run("objects 1.1.5 --show 3 --show 34"), 0);
  EXPECT_FALSE(Has(" yes ")) << output;

  EXPECT_EQ(Run("objects 1.1.5 --hide x"), 2);
  EXPECT_EQ(Run("objects 1.1.5 --hide"), 2);
  EXPECT_EQ(Run("objects"), 2);
  EXPECT_EQ(Run("objects 1.1.7"), 1);
}

TEST_F(ObjectsCli, ImportAddsAndRenamesAndRefusesAMalformedFileWhole) {
  ASSERT_EQ(Run("group-address add 1/2/3 Old"), 0);
  std::string good = Csv("good.csv",
                         "\"Group name\";\"Group Address\"\n"
                         "\"New; quoted\";1/2/3\n"
                         "Hall;0/1/2\n");
  ASSERT_EQ(Run("group-address import " + good), 0) << output;
  EXPECT_TRUE(Has("1 added, 1 renamed, 0 unchanged")) << output;
  ASSERT_EQ(Run("link 1.1.5 1 0/1/2"), 0) << output;  // the imported address exists

  std::string bad = Csv("bad.csv", "Address,Name\n4/0/0,Fine\n1/2/3,Changed\n1/9/0,Bad\n");
  EXPECT_EQ(Run("group-address import " + bad, false), 1);
  EXPECT_EQ(output, "");  // nothing on standard output
  EXPECT_EQ(Run("group-address import " + bad), 1);
  EXPECT_EQ(output, "dx47x-host: " + bad +
                        ":4: '1/9/0' is not a three-level group address "
                        "(MAIN/MIDDLE/SUB: main 0..31, middle 0..7, sub 0..255)\n");
  // Neither 4/0/0 nor the new name of 1/2/3 arrived.
  EXPECT_EQ(Run("link 1.1.5 2 4/0/0"), 1);
  EXPECT_EQ(Run("group-address import " + good), 0) << output;
  EXPECT_TRUE(Has("0 added, 0 renamed, 2 unchanged")) << output;

  EXPECT_EQ(Run("group-address import " + home.Path() + "/missing.csv"), 1);
  EXPECT_TRUE(Has("cannot read")) << output;
  EXPECT_EQ(Run("group-address import"), 2);
  EXPECT_EQ(Run("group-address import a.csv b.csv"), 2);
}

}  // namespace
