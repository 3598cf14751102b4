// TraceServer.so: the trace component of the XML server. Lines go to
// standard error, or to the file named by DX47X_TRACE_FILE, when DX47X_TRACE
// sets a level (errors from 2, warnings from 3); otherwise every query
// answers that no lines are wanted.
#include <mutex>
#include <string>

#include "base/export.h"
#include "com/barrier.h"
#include "com/object.h"
#include "traceoutput/traceoutput.h"
#include "win/modulepath.h"
#include "xmlweave/traceserver.h"

namespace {

using xmlweave::ITraceServer;

constexpr int kErrorLevel = 2;
constexpr int kWarningLevel = 3;

class CTraceServer : public ITraceServer, public com::ObjectRoot {
 public:
  using PrimaryInterface = ITraceServer;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<ITraceServer>(this, iid, ppv);
  }

  HRESULT SetChannelName(int32_t, const char* name) override {
    return com::CallGuarded([&] {
      std::lock_guard lock(m_mutex);
      m_channel = name ? name : "";
      return S_OK;
    });
  }
  HRESULT Reserved4() override { return E_NOTIMPL; }
  HRESULT WriteWarning(const char* line) override { return Write(kWarningLevel, line); }
  HRESULT WriteError(const char* line) override { return Write(kErrorLevel, line); }
  HRESULT Reserved7() override { return E_NOTIMPL; }
  HRESULT Reserved8() override { return E_NOTIMPL; }
  HRESULT IsErrorWanted(int32_t* wanted) override {
    if (!wanted) return E_POINTER;
    *wanted = traceoutput::IsEnabled(kErrorLevel) ? 1 : 0;
    return S_OK;
  }
  HRESULT IsWarningSuppressed(int32_t* suppressed) override {
    if (!suppressed) return E_POINTER;
    *suppressed = traceoutput::IsEnabled(kWarningLevel) ? 0 : 1;
    return S_OK;
  }
  HRESULT IsWarningWanted(int32_t* wanted) override {
    if (!wanted) return E_POINTER;
    *wanted = traceoutput::IsEnabled(kWarningLevel) ? 1 : 0;
    return S_OK;
  }

 private:
  HRESULT Write(int level, const char* line) {
    if (!line) return E_POINTER;
    if (!traceoutput::IsEnabled(level)) return S_FALSE;
    return com::CallGuarded([&] {
      std::string channel;
      {
        std::lock_guard lock(m_mutex);
        channel = m_channel;
      }
      traceoutput::WriteLine(level, channel, line);
      return S_OK;
    });
  }

  std::mutex m_mutex;
  std::string m_channel;
};

const com::ClassEntry kObjectMap[] = {
    {&xmlweave::CLSID_TraceServer, "TraceServer.TraceServer.1", "TraceServer.TraceServer",
     "TraceServer Class", "Both", &com::CreateInstance<CTraceServer>},
};

const com::TypeLibInfo kTypeLib{MakeGuid("0D3C7B52-5E61-4A8B-9F0E-2B7C4D9A1E36"),
                                "TRACESERVERLib",
                                "TraceServer 1.0 Type Library",
                                1,
                                0,
                                true};

com::Module& ComModule() {
  static com::Module module(kObjectMap, kTypeLib);
  return module;
}

}  // namespace

extern "C" RT_API HRESULT DllCanUnloadNow() { return ComModule().CanUnloadNow(); }

extern "C" RT_API HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
  return ComModule().GetClassObject(clsid, iid, ppv);
}

extern "C" RT_API HRESULT DllRegisterServer() {
  return ComModule().RegisterServer(win::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
}

extern "C" RT_API HRESULT DllUnregisterServer() { return ComModule().UnregisterServer(); }
