#include "logger/logger.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/services.h"
#include "temp_home.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Tracing : public ::testing::Test {
 protected:
  void SetUp() override { setenv("DX47X_TRACE_FILE", dir.File("trace.txt").c_str(), 1); }
  void TearDown() override {
    unsetenv("DX47X_TRACE_FILE");
    unsetenv("DX47X_TRACE");
  }
  host::HostServices services;
  testsupport::TempDir dir;
};

TEST_F(Tracing, LevelsAndChannel) {
  setenv("DX47X_TRACE", "2", 1);
  CLogger log("DX470");
  EXPECT_TRUE(log.IsEnabled(TRACE_LEVEL_ERROR));
  EXPECT_FALSE(log.IsEnabled(TRACE_LEVEL_INFO));
  log.Trace(TRACE_LEVEL_INFO, "not wanted");
  TRACE_FAILED(log, "m_spDevice->get_Name", E_FAIL);
  std::string text = ReadAll(dir.File("trace.txt"));
  EXPECT_EQ(text.find("not wanted"), std::string::npos);
  EXPECT_NE(text.find("DX470: Line:"), std::string::npos);
  EXPECT_NE(text.find("Die Funktion 'm_spDevice->get_Name' ist leider fehlgeschlagen "
                      "[0x80004005] ( Unspecified error) "),
            std::string::npos);
}

TEST_F(Tracing, LinesAreCutAt256Characters) {
  setenv("DX47X_TRACE", "4", 1);
  CLogger log("X");
  log.Trace(TRACE_LEVEL_INFO, "%s|", std::string(300, 'a').c_str());
  std::string text = ReadAll(dir.File("trace.txt"));
  EXPECT_NE(text.find(std::string(256, 'a')), std::string::npos);
  EXPECT_EQ(text.find(std::string(257, 'a')), std::string::npos);
  EXPECT_EQ(text.find('|'), std::string::npos);
}

TEST(TracingWithoutService, IsSilentlyOff) {
  CLogger log("DX470");
  EXPECT_FALSE(log.IsEnabled(TRACE_LEVEL_ERROR));
  log.Trace(TRACE_LEVEL_ERROR, "nobody listens %d", 1);  // must not crash
}

}  // namespace
