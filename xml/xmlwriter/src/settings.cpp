// The writer's formatting switches in the registry.
#include "win/registry.h"
#include "xmlweave/xmlwriter.h"

namespace xmlweave {
namespace {

// The registry reads keep no channel: one trace component per line.
HRESULT SetRegDWORD(const char* key, const char* valueName, DWORD value) {
  win::RegKey k;
  LONG rc = k.Create(HKEY_LOCAL_MACHINE, key, KEY_ALL_ACCESS);
  if (rc == ERROR_SUCCESS) rc = k.SetDword(valueName, value);
  HRESULT hr = HRESULT_FROM_WIN32(DWORD(rc));
  if (FAILED(hr)) {
    auto server = OpenTraceServer("CXMLWriter");
    XW_TRACE_ERROR(server.Get()) << "SetRegDWORD: SetRegistryDword:" << valueName << " failed" << hr;
  }
  return hr;
}

}  // namespace

HRESULT GetRegDwordWithDefault(const char* key, const char* valueName, DWORD defaultValue, DWORD& value) {
  value = defaultValue;
  win::RegKey k;
  DWORD read = 0;
  if (k.Open(HKEY_LOCAL_MACHINE, key, KEY_READ) == ERROR_SUCCESS &&
      k.GetDword(valueName, read) == ERROR_SUCCESS) {
    value = read;
    return S_OK;
  }
  {
    auto server = OpenTraceServer("CXMLWriter");
    ::xmlweave::TraceMessage(server.Get(), TraceSeverity::RegistryWarning, __FILE_NAME__, __LINE__)
        << "GetRegDwordWithDefault: reg key" << valueName
        << " missing so use default =" << uint32_t(defaultValue);
  }
  return SetRegDWORD(key, valueName, defaultValue);
}

HRESULT GetXmlFileReturnsEnable(bool& enabled) {
  DWORD v = 0;
  HRESULT hr = GetRegDwordWithDefault(kSettingsKey, kEnableCrValue, 0, v);
  enabled = v != 0;
  return hr;
}

HRESULT GetXmlFileTabsEnable(bool& enabled) {
  DWORD v = 0;
  HRESULT hr = GetRegDwordWithDefault(kSettingsKey, kEnableTabValue, 0, v);
  enabled = v != 0;
  return hr;
}

}  // namespace xmlweave
