#include "host/services.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "base/strings.h"
#include "com/barrier.h"
#include "com/bstr.h"
#include "com/cocreate.h"
#include "com/object.h"
#include "host/host_download.h"
#include "hostapi/download.h"
#include "hostapi/services.h"
#include "traceoutput/traceoutput.h"

namespace host {
namespace {

struct LocaleLanguage {
  const char* prefix;
  LCID lcid;
};
constexpr LocaleLanguage kLanguages[] = {
    {"de", 1031}, {"en", 1033}, {"fr", 1036}, {"it", 1040}, {"nl", 1043},
    {"es", 3082}, {"da", 1030}, {"sv", 1053}, {"fi", 1035}, {"pl", 1045},
};

class CLocalise : public ILocalise, public com::ObjectRoot {
 public:
  using PrimaryInterface = ILocalise;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<ILocalise>(this, iid, ppv);
  }
  HRESULT GetDefaultLCID(LCID* lcid) override {
    if (!lcid) return E_POINTER;
    *lcid = HostLanguage();
    return S_OK;
  }
};

class CTraceService : public ITraceService, public ITraceChannel, public com::ObjectRoot {
 public:
  using PrimaryInterface = ITraceService;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<ITraceService, ITraceChannel>(this, iid, ppv);
  }
  HRESULT IsLevelEnabled(LONG level, BOOL* enabled) override {
    if (!enabled) return E_POINTER;
    *enabled = traceoutput::IsEnabled(level) ? TRUE : FALSE;
    return S_OK;
  }
  HRESULT Trace(LONG level, const OLECHAR* text) override {
    if (!text) return E_POINTER;
    return com::CallGuarded([&] {
      if (traceoutput::IsEnabled(level)) traceoutput::WriteLine(level, Channel(), base::Utf16ToUtf8(text));
      return S_OK;
    });
  }
  HRESULT SetChannelName(const OLECHAR* name) override {
    return com::CallGuarded([&] {
      std::string channel = name ? base::Utf16ToUtf8(name) : std::string();
      std::lock_guard lock(mutex_);
      channel_ = std::move(channel);
      return S_OK;
    });
  }

 private:
  std::string Channel() {
    std::lock_guard lock(mutex_);
    return channel_;
  }
  std::mutex mutex_;
  std::string channel_;
};

class CEditorScript : public IEditorScript, public com::ObjectRoot {
 public:
  using PrimaryInterface = IEditorScript;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IEditorScript>(this, iid, ppv);
  }
  HRESULT GetScriptPath(BSTR* path) override {
    if (!path) return E_POINTER;
    return com::CallGuarded([&] {
      *path = SysAllocString(base::Utf8ToUtf16(ScriptPath()).c_str());
      return *path ? S_OK : E_OUTOFMEMORY;
    });
  }

  static std::string& ScriptPath() {
    static std::string path;
    return path;
  }
};

}  // namespace

LCID HostLanguage() {
  if (const char* v = std::getenv("DX47X_LCID"); v && *v) {
    char* end = nullptr;
    unsigned long n = std::strtoul(v, &end, 0);
    if (end != v && *end == '\0' && n > 0 && n <= 0xFFFF) return LCID(n);
  }
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (!v || !*v) continue;
    for (const LocaleLanguage& l : kLanguages)
      if (std::strncmp(v, l.prefix, 2) == 0) return l.lcid;
    break;  // the first variable that is set decides
  }
  return 1033;
}

HostServices::HostServices() {
  DWORD cookie = 0;
  if (SUCCEEDED(CoRegisterClassObject(CLSID_Localise, com::ClassFactoryFor<CLocalise>::Make().Get(),
                                      CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
    cookies_.push_back(cookie);
  if (SUCCEEDED(CoRegisterClassObject(CLSID_TraceService, com::ClassFactoryFor<CTraceService>::Make().Get(),
                                      CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
    cookies_.push_back(cookie);
  if (SUCCEEDED(CoRegisterClassObject(CLSID_HostDownload, MakeHostDownloadFactory().Get(),
                                      CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
    cookies_.push_back(cookie);
}

HostServices::~HostServices() {
  for (DWORD c : cookies_) CoRevokeClassObject(c);
}

EditorScript::EditorScript(const std::string& path) {
  CEditorScript::ScriptPath() = path;
  CoRegisterClassObject(CLSID_EditorScript, com::ClassFactoryFor<CEditorScript>::Make().Get(),
                        CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
}

EditorScript::~EditorScript() {
  if (cookie_) CoRevokeClassObject(cookie_);
  CEditorScript::ScriptPath().clear();
}

}  // namespace host
