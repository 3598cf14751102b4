#include "plugin_module.h"
#include "base/export.h"

#include <mutex>

#include "com/object.h"
#include "dx470deviceevent.h"
#include "dx470hawk.h"
#include "dx470ui.h"
#include "editor/editor_run.h"
#include "hostapi/plugin.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "win/modulepath.h"

namespace plugin {
namespace {

const com::ClassEntry kObjectMap[] = {
    {&CLSID_DX470UI, "DX470PlugIn.DX470UI.1", "DX470PlugIn.DX470UI", "DX470UI Class", "Apartment",
     &com::CreateInstance<CDX470UI>},
    {&CLSID_DX470DeviceEvent, "DX470PlugIn.DX470DeviceEvent.1", "DX470PlugIn.DX470DeviceEvent",
     "DX470DeviceEvent Class", "Free", &com::CreateInstance<CDX470DeviceEvent>},
    {&CLSID_DX470Hawk, "DX470PlugIn.DX470Hawk.1", "DX470PlugIn.DX470Hawk", "DX470Hawk Class", "Free",
     &com::CreateInstance<CDX470Hawk>},
};

const com::TypeLibInfo kTypeLib{
    LIBID_DX470PLUGINLib, "DX470PLUGINLib", "DX470PlugIn 1.0 Type Library", 1, 0, true};

}  // namespace

com::Module& ComModule() {
  static com::Module module(kObjectMap, kTypeLib);
  return module;
}

void EnsureApplicationStarted() {
  static std::once_flag once;
  std::call_once(once, [] {
    ComModule();
    PluginApp().Init(reinterpret_cast<const void*>(&EnsureApplicationStarted));
  });
}

}  // namespace plugin

extern "C" RT_API HRESULT DllCanUnloadNow() {
  // Once the editor has started the toolkit the module stays: the toolkit
  // cannot be shut down and unloaded under a running process.
  return plugin::ComModule().CanUnloadNow(plugin::g_openDialogs.load() == 0 && !editor::ToolkitStarted());
}

extern "C" RT_API HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
  plugin::EnsureApplicationStarted();
  return plugin::ComModule().GetClassObject(clsid, iid, ppv);
}

extern "C" RT_API HRESULT DllRegisterServer() {
  plugin::EnsureApplicationStarted();
  return plugin::ComModule().RegisterServer(
      win::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
}

extern "C" RT_API HRESULT DllUnregisterServer() {
  plugin::EnsureApplicationStarted();
  return plugin::ComModule().UnregisterServer();
}
