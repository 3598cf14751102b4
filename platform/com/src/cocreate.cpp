#include "com/cocreate.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <vector>

#include "base/strings.h"
#include "com/comptr.h"
#include "com/errorinfo.h"
#include "com/guid.h"
#include "win/registry.h"

namespace {

// A sanitizer build keeps unloaded modules mapped: their leak reports (and
// those of the libraries they pulled in, such as Qt) then keep their names,
// so that the suppressions of system libraries apply.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kKeepMapped = RTLD_NODELETE;
#else
constexpr int kKeepMapped = 0;
#endif

struct RegisteredClass {
  DWORD cookie;
  CLSID clsid;
  IUnknown* factory;
};

struct LoadedModule {
  void* handle;
  DllGetClassObjectFn getClassObject;
  DllCanUnloadNowFn canUnloadNow;
};

// The process-wide class table and module cache.
struct ClassTable {
  // Recursive: a module that creates objects while it is being loaded
  // (static initialisation) must not deadlock the loader.
  std::recursive_mutex mutex;
  std::vector<RegisteredClass> registered;
  DWORD nextCookie = 1;
  std::map<std::string, LoadedModule> modules;  // by module path
};

ClassTable& Table() {
  static ClassTable table;
  return table;
}

// A registry failure that is not a missing key or value: the class table
// itself cannot be read (a corrupt, truncated or unreadable hive). The
// caller gets REGDB_E_READREGDB and, as the thread's error object, the
// registry's own description of the cause (which file, which line, what).
HRESULT RegistryReadFailure(LONG rc) {
  std::string why = win::RegistryLastError();
  if (why.empty())
    why = "the registry cannot be read: " + base::MessageText(HRESULT_FROM_WIN32(static_cast<DWORD>(rc)));
  com::ComPtr<IErrorInfo> info;
  if (SUCCEEDED(com::MakeErrorInfo(base::Utf8ToUtf16(why), &info))) SetErrorInfo(0, info.Get());
  return REGDB_E_READREGDB;
}

// A key or value that is not there, or a name that cannot be a key's: the
// class (or ProgID) is just not registered.
bool IsMissing(LONG rc) {
  constexpr LONG kBadPathname = 161;
  return rc == static_cast<LONG>(ERROR_FILE_NOT_FOUND) || rc == kBadPathname;
}

// Reads HKCR\CLSID\{clsid}\InprocServer32's default value.
HRESULT FindServerPath(REFCLSID clsid, std::string* path) {
  std::string keyPath = "CLSID\\" + com::GuidToString(clsid) + "\\InprocServer32";
  win::RegKey key;
  if (LONG rc = key.Open(HKEY_CLASSES_ROOT, keyPath.c_str()); rc != ERROR_SUCCESS)
    return IsMissing(rc) ? REGDB_E_CLASSNOTREG : RegistryReadFailure(rc);
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExA(key.Get(), nullptr, nullptr, &type, nullptr, &size);
  std::string value;
  if (rc == ERROR_SUCCESS && type == REG_SZ && size > 0) {
    value.resize(size);
    rc = RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    value.resize(size > 0 ? size - 1 : 0);
  }
  if (rc != ERROR_SUCCESS && rc != static_cast<LONG>(ERROR_MORE_DATA) && !IsMissing(rc))
    return RegistryReadFailure(rc);
  if (rc != ERROR_SUCCESS || value.empty()) return REGDB_E_CLASSNOTREG;
  *path = value;
  return S_OK;
}

HRESULT LoadModule(ClassTable& t, const std::string& path, LoadedModule** out) {
  auto it = t.modules.find(path);
  if (it == t.modules.end()) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | kKeepMapped);
    if (!handle) return CO_E_DLLNOTFOUND;
    LoadedModule m{handle, reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject")),
                   reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"))};
    if (!m.getClassObject) {
      dlclose(handle);
      return CO_E_ERRORINDLL;
    }
    it = t.modules.emplace(path, m).first;
  }
  *out = &it->second;
  return S_OK;
}

}  // namespace

HRESULT CoInitializeEx(void*, DWORD) { return S_OK; }
HRESULT CoInitialize(void*) { return S_OK; }
void CoUninitialize() {}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ClassTable& t = Table();
  com::ComPtr<IUnknown> registered;
  {
    std::lock_guard lock(t.mutex);
    for (const RegisteredClass& c : t.registered)
      if (c.clsid == clsid) {
        registered = com::ComPtr<IUnknown>(c.factory);
        break;
      }
  }
  if (registered) return registered->QueryInterface(iid, ppv);
  if (!(context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER))) return REGDB_E_CLASSNOTREG;

  std::string path;
  HRESULT hr = FindServerPath(clsid, &path);
  if (FAILED(hr)) return hr;
  DllGetClassObjectFn getClassObject = nullptr;
  {
    std::lock_guard lock(t.mutex);
    LoadedModule* m = nullptr;
    hr = LoadModule(t, path, &m);
    if (FAILED(hr)) return hr;
    getClassObject = m->getClassObject;
  }
  // Modules stay loaded until CoFreeUnusedLibraries, so the call is safe
  // outside the lock (a module may create objects through us in turn).
  return getClassObject(clsid, iid, ppv);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  com::ComPtr<IClassFactory> factory;
  HRESULT hr = CoGetClassObject(clsid, context, nullptr, IClassFactory::iid, factory.PpvSlot());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(outer, iid, ppv);
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD, DWORD, DWORD* cookie) {
  if (!factory || !cookie) return E_INVALIDARG;
  ClassTable& t = Table();
  std::lock_guard lock(t.mutex);
  factory->AddRef();
  *cookie = t.nextCookie++;
  t.registered.push_back({*cookie, clsid, factory});
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  ClassTable& t = Table();
  IUnknown* factory = nullptr;
  {
    std::lock_guard lock(t.mutex);
    for (auto it = t.registered.begin(); it != t.registered.end(); ++it)
      if (it->cookie == cookie) {
        factory = it->factory;
        t.registered.erase(it);
        break;
      }
  }
  if (!factory) return E_INVALIDARG;
  factory->Release();
  return S_OK;
}

void CoFreeUnusedLibraries() {
  ClassTable& t = Table();
  std::lock_guard lock(t.mutex);
  for (auto it = t.modules.begin(); it != t.modules.end();) {
    if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
      dlclose(it->second.handle);
      it = t.modules.erase(it);
    } else {
      ++it;
    }
  }
}

HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid) {
  if (!progId || !clsid) return E_INVALIDARG;
  std::string keyPath = base::Utf16ToUtf8(progId) + "\\CLSID";
  win::RegKey key;
  if (LONG rc = key.Open(HKEY_CLASSES_ROOT, keyPath.c_str()); rc != ERROR_SUCCESS)
    return IsMissing(rc) ? CO_E_CLASSSTRING : RegistryReadFailure(rc);
  char buf[64] = {};
  DWORD type = 0, size = sizeof buf - 1;
  LONG rc = RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  if (rc != ERROR_SUCCESS && rc != static_cast<LONG>(ERROR_MORE_DATA) && !IsMissing(rc))
    return RegistryReadFailure(rc);
  if (rc != ERROR_SUCCESS) return CO_E_CLASSSTRING;
  auto g = com::ParseGuid(buf);
  if (!g) return CO_E_CLASSSTRING;
  *clsid = *g;
  return S_OK;
}

namespace com {

ServerModule::~ServerModule() {
  if (handle_) dlclose(handle_);
}

HRESULT ServerModule::Load(const std::string& path) {
  if (handle_) dlclose(handle_);
  path_ = path;
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | kKeepMapped);
  if (!handle_) {
    const char* e = dlerror();
    error_ = e ? e : "cannot load " + path;
    return CO_E_DLLNOTFOUND;
  }
  error_.clear();
  return S_OK;
}

void* ServerModule::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

size_t LoadedModuleCount() {
  ClassTable& t = Table();
  std::lock_guard lock(t.mutex);
  return t.modules.size();
}

}  // namespace com
