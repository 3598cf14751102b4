#pragma once
// Module-wide state of a COM in-process server: the object map, the lock
// count, the cached class factories and self-registration. Each server
// module has one static com::Module.
#include <atomic>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "base/export.h"
#include "com/unknown.h"

namespace com {

class Module;

// One class of the object map.
struct ClassEntry {
  const CLSID* clsid;
  const char* progId;                    // "Name.Class.1"
  const char* versionIndependentProgId;  // "Name.Class"
  const char* description;               // "Class Class"
  const char* threadingModel;            // "Apartment", "Free", "Both"
  // Creates an instance, plain (outer null) or aggregated.
  HRESULT (*create)(Module* module, IUnknown* outer, REFIID iid, void** ppv);
};

// The type library of a module, registered as a readable description.
struct TypeLibInfo {
  GUID libid;
  const char* name;        // "XYZLib"
  const char* helpString;  // "XYZ 1.0 Type Library"
  unsigned short major = 1;
  unsigned short minor = 0;
  // Whether unregistering the module removes the type library's keys too.
  bool removeOnUnregister = true;
};

class RT_API Module {
 public:
  Module(std::span<const ClassEntry> objectMap, const TypeLibInfo& typeLib);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  // Lock count: objects, factory references held beyond the module's own,
  // and LockServer calls. Changed atomically.
  ULONG Lock() { return ++locks_; }
  ULONG Unlock() { return --locks_; }

  // DllGetClassObject: the factory of a class, created once and kept.
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv);
  // DllCanUnloadNow: S_OK when nothing holds the module, else S_FALSE.
  // `frameworkAllowsUnload` lets a module add its own condition.
  HRESULT CanUnloadNow(bool frameworkAllowsUnload = true) const;
  // DllRegisterServer / DllUnregisterServer for the module file at `path`.
  HRESULT RegisterServer(const std::string& modulePath);
  HRESULT UnregisterServer();
  // Releases the cached factories (module unload).
  void Term();

 private:
  std::span<const ClassEntry> map_;
  TypeLibInfo typeLib_;
  std::atomic<ULONG> locks_{0};
  std::mutex factoryMutex_;
  std::vector<IClassFactory*> factories_;  // one slot per object-map entry
};

}  // namespace com
