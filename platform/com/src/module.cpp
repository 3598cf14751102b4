#include "com/module.h"

#include <new>

#include "base/strings.h"
#include "win/registry.h"

namespace com {
namespace {

// The factory of one class. The module keeps one reference; while anybody
// else holds one too, the factory holds a lock on the module.
class ClassFactory final : public IClassFactory {
 public:
  ClassFactory(Module* module, const ClassEntry* entry) : module_(module), entry_(entry) {}

  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (iid == IUnknown::iid || iid == IClassFactory::iid) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG AddRef() override {
    std::lock_guard lock(mutex_);
    if (++ref_ == 2) module_->Lock();
    return ref_;
  }
  ULONG Release() override {
    ULONG n;
    {
      std::lock_guard lock(mutex_);
      n = --ref_;
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
  HRESULT LockServer(BOOL lock) override {
    if (lock)
      module_->Lock();
    else
      module_->Unlock();
    return S_OK;
  }

 private:
  Module* module_;
  const ClassEntry* entry_;
  std::mutex mutex_;
  ULONG ref_ = 0;
};

// Creates HKCR\path with a default value (and optional named values).
LONG SetKey(const std::string& path, const std::string& defaultValue) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(defaultValue.c_str()),
                      DWORD(defaultValue.size() + 1));
  RegCloseKey(key);
  return rc;
}

LONG SetValue(const std::string& path, const char* name, const std::string& value) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                      DWORD(value.size() + 1));
  RegCloseKey(key);
  return rc;
}

// Deletes HKCR\path with everything below it; a key that is not there is fine.
LONG DeleteTree(const std::string& path) {
  LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
  if (rc == ERROR_SUCCESS) {
    HKEY parent = nullptr;
    size_t slash = path.rfind('\\');
    std::string parentPath = slash == std::string::npos ? std::string() : path.substr(0, slash);
    std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    rc = RegOpenKeyExA(HKEY_CLASSES_ROOT, parentPath.empty() ? nullptr : parentPath.c_str(), 0,
                       KEY_ALL_ACCESS, &parent);
    if (rc == ERROR_SUCCESS) {
      rc = RegDeleteKeyA(parent, leaf.c_str());
      RegCloseKey(parent);
    }
  }
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

HRESULT FromRegistryError(LONG rc) {
  return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(DWORD(rc));
}

std::string TypeLibKey(const TypeLibInfo& lib) {
  return "TypeLib\\" + GuidToString(lib.libid) + "\\" +
         base::Format("%x.%x", unsigned(lib.major), unsigned(lib.minor));
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
  for (const ClassEntry& c : map_) {
    const std::string clsid = GuidToString(*c.clsid);
    const std::string clsidKey = "CLSID\\" + clsid;
    LONG rc = ERROR_SUCCESS;
    auto step = [&rc](LONG r) {
      if (rc == ERROR_SUCCESS) rc = r;
    };
    step(SetKey(c.progId, c.description));
    step(SetKey(std::string(c.progId) + "\\CLSID", clsid));
    step(SetKey(c.versionIndependentProgId, c.description));
    step(SetKey(std::string(c.versionIndependentProgId) + "\\CLSID", clsid));
    step(SetKey(std::string(c.versionIndependentProgId) + "\\CurVer", c.progId));
    // The class key is replaced whole on registration.
    step(DeleteTree(clsidKey));
    step(SetKey(clsidKey, c.description));
    step(SetKey(clsidKey + "\\ProgID", c.progId));
    step(SetKey(clsidKey + "\\VersionIndependentProgID", c.versionIndependentProgId));
    step(SetKey(clsidKey + "\\InprocServer32", modulePath));
    step(SetValue(clsidKey + "\\InprocServer32", "ThreadingModel", c.threadingModel));
    step(SetKey(clsidKey + "\\TypeLib", libid));
    if (rc != ERROR_SUCCESS) return FromRegistryError(rc);
  }
  // The type library, as a readable description of the library and its classes.
  const std::string lib = TypeLibKey(typeLib_);
  LONG rc = ERROR_SUCCESS;
  auto step = [&rc](LONG r) {
    if (rc == ERROR_SUCCESS) rc = r;
  };
  step(DeleteTree(lib));
  step(SetKey(lib, typeLib_.helpString));
  step(SetValue(lib, "Name", typeLib_.name));
  step(SetKey(lib + "\\0\\linux64", modulePath));
  step(SetKey(lib + "\\FLAGS", "0"));
  size_t slash = modulePath.rfind('/');
  step(SetKey(lib + "\\HELPDIR", slash == std::string::npos ? "" : modulePath.substr(0, slash)));
  for (const ClassEntry& c : map_) {
    std::string coclass = lib + "\\CoClasses\\" + GuidToString(*c.clsid);
    step(SetKey(coclass, c.description));
  }
  return FromRegistryError(rc);
}

HRESULT Module::UnregisterServer() {
  LONG rc = ERROR_SUCCESS;
  auto step = [&rc](LONG r) {
    if (rc == ERROR_SUCCESS) rc = r;
  };
  for (const ClassEntry& c : map_) {
    step(DeleteTree(c.progId));
    step(DeleteTree(c.versionIndependentProgId));
    step(DeleteTree("CLSID\\" + GuidToString(*c.clsid)));
  }
  if (typeLib_.removeOnUnregister) {
    step(DeleteTree(TypeLibKey(typeLib_)));
    // The library's own key goes when no other version is left in it.
    std::string libKey = "TypeLib\\" + GuidToString(typeLib_.libid);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, libKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
      DWORD subkeys = 0, values = 0;
      LONG q = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                &values, nullptr, nullptr, nullptr, nullptr);
      RegCloseKey(key);
      if (q == ERROR_SUCCESS && subkeys == 0) step(DeleteTree(libKey));
    }
  }
  return FromRegistryError(rc);
}

}  // namespace com
