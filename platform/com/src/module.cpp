#include "com/module.h"

#include <new>

#include "base/strings.h"
#include "com/object.h"
#include "win/registry.h"

namespace com {
namespace {

// The factory of one class. The module keeps one reference; while anybody
// else holds one too, the factory holds a lock on the module.
class ClassFactory final : public IClassFactory {
 public:
  ClassFactory(Module* module, const ClassEntry* entry) : module_(module), entry_(entry) {}

  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    return QueryInterfaceOf<IUnknown, IClassFactory>(this, iid, ppv);
  }
  // Under the mutex, so that the module lock follows the count's crossings
  // of 2 in the order they happen.
  ULONG AddRef() override {
    std::lock_guard lock(mutex_);
    ULONG n = refs_.Add();
    if (n == 2) module_->Lock();
    return n;
  }
  ULONG Release() override {
    ULONG n;
    {
      std::lock_guard lock(mutex_);
      n = refs_.Drop();
      if (n == 1) module_->Unlock();
    }
    if (n == 0) delete this;
    return n;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    try {
      return entry_->create(module_, outer, iid, ppv);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  HRESULT LockServer(BOOL lock) override { return LockServerOf(module_, lock); }

 private:
  Module* module_;
  const ClassEntry* entry_;
  std::mutex mutex_;
  RefCount refs_;
};

// Creates HKCR\path and sets its value `name` (null: the default value).
LONG SetValue(const std::string& path, const char* name, const std::string& value) {
  win::RegKey key;
  LONG rc = key.Create(HKEY_CLASSES_ROOT, path.c_str());
  return rc == ERROR_SUCCESS ? key.SetString(name, value) : rc;
}

// Creates HKCR\path with a default value.
LONG SetKey(const std::string& path, const std::string& defaultValue) {
  return SetValue(path, nullptr, defaultValue);
}

// Deletes HKCR\path with everything below it; a key that is not there is fine.
LONG DeleteTree(const std::string& path) {
  LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
  if (rc == ERROR_SUCCESS) {
    size_t slash = path.rfind('\\');
    std::string parentPath = slash == std::string::npos ? std::string() : path.substr(0, slash);
    std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    win::RegKey parent;
    rc = parent.Open(HKEY_CLASSES_ROOT, parentPath.empty() ? nullptr : parentPath.c_str(), KEY_ALL_ACCESS);
    if (rc == ERROR_SUCCESS) rc = parent.DeleteSubKey(leaf.c_str());
  }
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// Whether HKCR\path is there and has no subkeys.
bool ExistsWithoutSubKeys(const std::string& path) {
  win::RegKey key;
  DWORD subkeys = 0;
  return key.Open(HKEY_CLASSES_ROOT, path.c_str()) == ERROR_SUCCESS &&
         RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0;
}

// The first failure of a sequence of registry calls; later calls still run.
struct FirstFailure {
  LONG rc = ERROR_SUCCESS;
  void operator()(LONG r) {
    if (rc == ERROR_SUCCESS) rc = r;
  }
};

HRESULT FromRegistryError(LONG rc) { return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(DWORD(rc)); }

std::string TypeLibKey(const TypeLibInfo& lib) {
  return "TypeLib\\" + GuidToString(lib.libid) + "\\" +
         base::Format("%x.%x", unsigned(lib.major), unsigned(lib.minor));
}

// The keys of one class: its ProgIDs and its CLSID key, which is replaced
// whole.
LONG RegisterClass(const ClassEntry& c, const std::string& modulePath, const std::string& libid) {
  const std::string clsid = GuidToString(*c.clsid);
  const std::string clsidKey = "CLSID\\" + clsid;
  FirstFailure step;
  step(SetKey(c.progId, c.description));
  step(SetKey(std::string(c.progId) + "\\CLSID", clsid));
  step(SetKey(c.versionIndependentProgId, c.description));
  step(SetKey(std::string(c.versionIndependentProgId) + "\\CLSID", clsid));
  step(SetKey(std::string(c.versionIndependentProgId) + "\\CurVer", c.progId));
  step(DeleteTree(clsidKey));
  step(SetKey(clsidKey, c.description));
  step(SetKey(clsidKey + "\\ProgID", c.progId));
  step(SetKey(clsidKey + "\\VersionIndependentProgID", c.versionIndependentProgId));
  step(SetKey(clsidKey + "\\InprocServer32", modulePath));
  step(SetValue(clsidKey + "\\InprocServer32", "ThreadingModel", c.threadingModel));
  step(SetKey(clsidKey + "\\TypeLib", libid));
  return step.rc;
}

// The type library, as a readable description of the library and its classes.
LONG RegisterTypeLib(const TypeLibInfo& typeLib, std::span<const ClassEntry> map,
                     const std::string& modulePath) {
  const std::string lib = TypeLibKey(typeLib);
  FirstFailure step;
  step(DeleteTree(lib));
  step(SetKey(lib, typeLib.helpString));
  step(SetValue(lib, "Name", typeLib.name));
  step(SetKey(lib + "\\0\\linux64", modulePath));
  step(SetKey(lib + "\\FLAGS", "0"));
  size_t slash = modulePath.rfind('/');
  step(SetKey(lib + "\\HELPDIR", slash == std::string::npos ? "" : modulePath.substr(0, slash)));
  for (const ClassEntry& c : map) step(SetKey(lib + "\\CoClasses\\" + GuidToString(*c.clsid), c.description));
  return step.rc;
}

}  // namespace

Module::Module(std::span<const ClassEntry> objectMap, const TypeLibInfo& typeLib)
    : map_(objectMap), typeLib_(typeLib), factories_(objectMap.size(), nullptr) {}

Module::~Module() { Term(); }

HRESULT Module::GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (size_t i = 0; i < map_.size(); ++i) {
    if (!(*map_[i].clsid == clsid)) continue;
    std::lock_guard lock(factoryMutex_);
    if (!factories_[i]) {
      auto* factory = new (std::nothrow) ClassFactory(this, &map_[i]);
      if (!factory) return E_OUTOFMEMORY;
      factory->AddRef();  // the module's own reference
      factories_[i] = factory;
    }
    return factories_[i]->QueryInterface(iid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT Module::CanUnloadNow(bool frameworkAllowsUnload) const {
  return frameworkAllowsUnload && locks_.load() == 0 ? S_OK : S_FALSE;
}

void Module::Term() {
  std::lock_guard lock(factoryMutex_);
  for (auto& f : factories_) {
    if (f) f->Release();
    f = nullptr;
  }
}

HRESULT Module::RegisterServer(const std::string& modulePath) {
  const std::string libid = GuidToString(typeLib_.libid);
  for (const ClassEntry& c : map_)
    if (LONG rc = RegisterClass(c, modulePath, libid); rc != ERROR_SUCCESS) return FromRegistryError(rc);
  return FromRegistryError(RegisterTypeLib(typeLib_, map_, modulePath));
}

HRESULT Module::UnregisterServer() {
  FirstFailure step;
  for (const ClassEntry& c : map_) {
    step(DeleteTree(c.progId));
    step(DeleteTree(c.versionIndependentProgId));
    step(DeleteTree("CLSID\\" + GuidToString(*c.clsid)));
  }
  if (typeLib_.removeOnUnregister) {
    step(DeleteTree(TypeLibKey(typeLib_)));
    // The library's own key goes when no other version is left in it.
    std::string libKey = "TypeLib\\" + GuidToString(typeLib_.libid);
    if (ExistsWithoutSubKeys(libKey)) step(DeleteTree(libKey));
  }
  return FromRegistryError(step.rc);
}

}  // namespace com
