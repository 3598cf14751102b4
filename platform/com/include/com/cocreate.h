#pragma once
// Object creation by class identifier. Classes that the process registered
// itself come first (the host's own services); then the registry:
// HKCR\CLSID\{clsid}\InprocServer32 names a module that is loaded with
// dlopen and asked through its DllGetClassObject. A module is unloaded only
// after its DllCanUnloadNow answers S_OK.
//
// A class that is not in the registry answers REGDB_E_CLASSNOTREG (a ProgID
// CO_E_CLASSSTRING). A registry that cannot be read (a corrupt, truncated or
// unreadable HKCR hive) answers REGDB_E_READREGDB instead, and the calling
// thread's error object (GetErrorInfo) then describes the cause, e.g. "the
// registry file …/HKCR.reg is corrupt: line 12: unrecognised line".
#include <string>

#include "base/export.h"
#include "com/unknown.h"

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

constexpr DWORD REGCLS_SINGLEUSE = 0;
constexpr DWORD REGCLS_MULTIPLEUSE = 1;

constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD COINIT_MULTITHREADED = 0x0;

// The entry points a server module exports.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

RT_API HRESULT CoInitializeEx(void* reserved, DWORD flags);
RT_API HRESULT CoInitialize(void* reserved);
RT_API void CoUninitialize();

RT_API HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID iid, void** ppv);
RT_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** ppv);
RT_API HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags,
                                     DWORD* cookie);
RT_API HRESULT CoRevokeClassObject(DWORD cookie);
// Unloads every loaded module whose DllCanUnloadNow answers S_OK.
RT_API void CoFreeUnusedLibraries();
RT_API HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid);

namespace com {

// Typed creation: CreateInstance<IFoo>(clsid, &ptr).
template <class T>
HRESULT CreateInstance(REFCLSID clsid, T** out, DWORD context = CLSCTX_ALL) {
  return CoCreateInstance(clsid, nullptr, context, T::iid, reinterpret_cast<void**>(out));
}

// A loaded server module, kept open while the handle lives. Used by the
// host's `register` command and by tests that call a module's exports.
class RT_API ServerModule {
 public:
  ServerModule() = default;
  ~ServerModule();
  ServerModule(const ServerModule&) = delete;
  ServerModule& operator=(const ServerModule&) = delete;

  // Loads the module file; E_FAIL with `Error()` describing why.
  HRESULT Load(const std::string& path);
  void* Symbol(const char* name) const;
  const std::string& Error() const { return error_; }
  const std::string& Path() const { return path_; }

 private:
  void* handle_ = nullptr;
  std::string path_;
  std::string error_;
};

// Number of modules loaded through CoCreateInstance and still in memory.
RT_API size_t LoadedModuleCount();

}  // namespace com
