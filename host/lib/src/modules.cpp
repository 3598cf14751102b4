#include "host/modules.h"

#include <unistd.h>

#include "base/strings.h"
#include "com/cocreate.h"
#include "win/file.h"
#include "win/registry.h"

namespace host {
namespace {

std::string ReadDefault(const std::string& path, const char* valueName = nullptr) {
  win::RegKey key;
  if (key.Open(HKEY_CLASSES_ROOT, path.c_str(), KEY_READ) != ERROR_SUCCESS) return {};
  std::string value;
  if (key.GetString(valueName, value) != ERROR_SUCCESS) return {};
  return value;
}

}  // namespace

std::string ExecutableDirectory() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string path(buf, size_t(n));
  return path.substr(0, path.rfind('/') + 1);
}

std::vector<std::string> KnownModulePaths() {
  std::vector<std::string> paths;
  for (const char* name : {"DX47x.so", "XmlWeaveETS.so", "TraceServer.so"}) {
    std::string path = ExecutableDirectory() + name;
    if (win::FileExists(path)) paths.push_back(path);
  }
  return paths;
}

HRESULT RegisterModule(const std::string& path, bool unregister, std::string* error) {
  com::ServerModule module;
  HRESULT hr = module.Load(path);
  if (FAILED(hr)) {
    *error = module.Error();
    return hr;
  }
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  auto fn = reinterpret_cast<DllRegisterServerFn>(module.Symbol(entry));
  if (!fn) {
    *error = path + " has no " + entry;
    return CO_E_ERRORINDLL;
  }
  hr = fn();
  if (FAILED(hr)) {
    std::string text = base::ErrorText(hr);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    *error = std::string(entry) + " of " + path + " failed: " + text;
    std::string detail = win::RegistryLastError();
    if (!detail.empty()) *error += " (" + detail + ")";
  }
  return hr;
}

std::vector<RegisteredClass> ClassesOfModule(const std::string& modulePath) {
  std::vector<RegisteredClass> classes;
  win::RegKey clsidRoot;
  if (clsidRoot.Open(HKEY_CLASSES_ROOT, "CLSID", KEY_READ) != ERROR_SUCCESS) return classes;
  std::vector<std::string> names;
  clsidRoot.SubKeyNames(names);
  for (const std::string& name : names) {
    std::string key = "CLSID\\" + name;
    if (ReadDefault(key + "\\InprocServer32") != modulePath) continue;
    auto clsid = com::ParseGuid(name);
    if (!clsid) continue;
    classes.push_back({*clsid, ReadDefault(key), ReadDefault(key + "\\ProgID"),
                       ReadDefault(key + "\\InprocServer32", "ThreadingModel")});
  }
  return classes;
}

}  // namespace host
