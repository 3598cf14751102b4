#pragma once
// The server modules the host knows, found beside the host's executable.
#include <string>
#include <vector>

#include "base/hresult.h"
#include "com/guid.h"

namespace host {

// The folder of the running executable, ending with '/'.
std::string ExecutableDirectory();

// Module files registered by `dx47x-host register`, in this order; only the
// ones that exist beside the executable are used.
std::vector<std::string> KnownModulePaths();

// Calls DllRegisterServer (or DllUnregisterServer) of a module file. On
// failure `error` describes it.
HRESULT RegisterModule(const std::string& path, bool unregister, std::string* error);

// A class registered in HKCR\CLSID whose server is the given module file.
struct RegisteredClass {
  CLSID clsid;
  std::string description;
  std::string progId;
  std::string threadingModel;
};
std::vector<RegisteredClass> ClassesOfModule(const std::string& modulePath);

}  // namespace host
