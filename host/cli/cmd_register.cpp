// register: calls DllRegisterServer (or DllUnregisterServer) of every module
// beside the program.
#include <cstdio>

#include "cli.h"
#include "host/modules.h"
#include "printable.h"

namespace cli {

int CmdRegister(Context& ctx) {
  bool unregister = false;
  for (const std::string& a : ctx.args) {
    if (a == "--unregister")
      unregister = true;
    else
      throw UsageError{"register: unexpected argument " + a};
  }
  std::vector<std::string> modules = host::KnownModulePaths();
  if (modules.empty()) return Fail("no server modules found in " + host::ExecutableDirectory());
  for (const std::string& path : modules) {
    std::string error;
    if (FAILED(host::RegisterModule(path, unregister, &error))) return Fail(error);
    std::printf("%s %s\n", unregister ? "unregistered" : "registered", Printable(path).c_str());
  }
  return kSuccess;
}

}  // namespace cli
