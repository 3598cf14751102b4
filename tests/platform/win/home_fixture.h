#pragma once
// A fresh, empty $DX47X_HOME for one test (testsupport::TempHome), removed
// afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "temp_home.h"
#include "win/registry.h"

class TempHomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = std::make_unique<testsupport::TempHome>();
    home = temp_->Path();
  }
  void TearDown() override { temp_.reset(); }

  std::string RegistryFile(const char* name) const { return home + "/registry/" + name; }

  std::string home;

 private:
  std::unique_ptr<testsupport::TempHome> temp_;
};

// Win32 results are LONG in the registry calls and DWORD in the constants.
constexpr LONG L(DWORD e) { return static_cast<LONG>(e); }
