#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include "win/home.h"
#include "win/modulepath.h"

namespace {

std::string Executable() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

int g_data = 1;

TEST(ModulePathTest, NamesTheFileHoldingTheAddress) {
  EXPECT_EQ(win::ModulePathOf(&g_data), Executable());
  EXPECT_EQ(win::ThisModulePath(), Executable());  // the caller, not the runtime

  std::string runtime = win::ModulePathOf(reinterpret_cast<const void*>(&win::HomeDirectory));
  ASSERT_FALSE(runtime.empty());
  EXPECT_EQ(runtime.front(), '/');
  EXPECT_NE(runtime.find("libdx47xrt.so"), std::string::npos) << runtime;
  char real[PATH_MAX];
  ASSERT_NE(realpath(runtime.c_str(), real), nullptr);
  EXPECT_EQ(runtime, real);

  // A relative start folder does not matter.
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir("/"), 0);
  EXPECT_EQ(win::ThisModulePath(), Executable());
  ASSERT_EQ(chdir(cwd), 0);

  EXPECT_EQ(win::ModulePathOf(nullptr), "");
  int onStack = 0;
  EXPECT_EQ(win::ModulePathOf(&onStack), "");
}

}  // namespace
