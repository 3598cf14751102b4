#pragma once
// Loads a module of this build (DX47x.so, XmlWeaveETS.so) from the folder the
// tests run in and registers it, as the host's register command does, so
// that its classes can be created by class identifier.
#include <gtest/gtest.h>

#include <string>

#include "com/cocreate.h"
#include "temp_home.h"
#include "win/registry.h"

namespace testsupport {

inline ::testing::AssertionResult LoadAndRegister(com::ServerModule& module, const std::string& name) {
  if (module.Load(BinDir() + "/" + name) != S_OK)
    return ::testing::AssertionFailure() << "cannot load " << name << ": " << module.Error();
  auto reg = reinterpret_cast<DllRegisterServerFn>(module.Symbol("DllRegisterServer"));
  if (!reg) return ::testing::AssertionFailure() << name << " has no DllRegisterServer";
  if (HRESULT hr = reg(); hr != S_OK)
    return ::testing::AssertionFailure()
           << name << " did not register (" << std::hex << uint32_t(hr) << "): " << win::RegistryLastError();
  return ::testing::AssertionSuccess();
}

}  // namespace testsupport
