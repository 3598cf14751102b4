#pragma once
// A fresh, empty $DX47X_HOME for one test, removed afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "win/registry.h"

class TempHomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = getenv("DX47X_HOME")) m_oldHome = old;
    char pattern[] = "/tmp/dx47x-win-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home = pattern;
    setenv("DX47X_HOME", home.c_str(), 1);
    win::RegistryFlushCache();
  }
  void TearDown() override {
    std::error_code ec;
    // Read-only folders left by a test must not stop the clean-up.
    for (auto& entry : std::filesystem::recursive_directory_iterator(home, ec))
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    std::filesystem::permissions(home, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(home, ec);
    if (m_oldHome) setenv("DX47X_HOME", m_oldHome->c_str(), 1);
    else unsetenv("DX47X_HOME");
    win::RegistryFlushCache();
  }

  std::string RegistryFile(const char* name) const { return home + "/registry/" + name; }

  std::string home;

 private:
  std::optional<std::string> m_oldHome;
};

// Win32 results are LONG in the registry calls and DWORD in the constants.
constexpr LONG L(DWORD e) { return static_cast<LONG>(e); }
