// Each COM module leaves exactly its four entry points visible: whatever it
// is built from (the runtime's headers, the standard library, Qt) stays
// inside it.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "temp_home.h"

namespace {

// The defined dynamic symbols of a shared object, as nm lists them
// (demangled: "win::RegKey::Open(...)").
std::set<std::string> ExportedSymbols(const std::string& path) {
  std::set<std::string> names;
  const std::string command = "nm -DC --defined-only '" + path + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return names;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe.get())) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    // "ADDRESS TYPE NAME", the name possibly holding blanks.
    const size_t first = text.find(' '),
                 second = first == std::string::npos ? first : text.find(' ', first + 1);
    names.insert(second == std::string::npos ? text : text.substr(second + 1));
  }
  return names;
}

TEST(ModuleExports, EveryModuleExportsExactlyItsEntryPoints) {
  const std::set<std::string> entryPoints = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                             "DllUnregisterServer"};
  for (const char* module : {"DX47x.so", "XmlWeaveETS.so", "TraceServer.so"}) {
    SCOPED_TRACE(module);
    EXPECT_EQ(ExportedSymbols(testsupport::BinDir() + "/" + module), entryPoints);
  }
}

TEST(ModuleExports, TheRuntimeExportsOnlyWhatItMarks) {
  // Its interface, not its internals: the registry file format stays inside.
  const std::set<std::string> names = ExportedSymbols(testsupport::BinDir() + "/libdx47xrt.so");
  auto exported = [&](const std::string& prefix) {
    for (const std::string& name : names)
      if (name.rfind(prefix, 0) == 0) return true;
    return false;
  };
  EXPECT_TRUE(exported("CoCreateInstance("));
  EXPECT_TRUE(exported("RegOpenKeyExA("));
  EXPECT_TRUE(exported("win::RegKey::Open("));
  EXPECT_FALSE(exported("win::reg::ParseHive("));
  EXPECT_FALSE(exported("win::reg::Node::"));
}

}  // namespace
