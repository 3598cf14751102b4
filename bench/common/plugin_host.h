#pragma once
// What every benchmark of the plug-in starts from: the benchmark's folder as
// the home of registry and trace files, the host's services, the plug-in
// module loaded and registered, and DX 47x devices added to a project as the
// host adds them (the plug-in's add-device event creates the configuration).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "com/cocreate.h"
#include "com/comptr.h"
#include "host/project.h"
#include "host/project_objects.h"
#include "host/services.h"
#include "hostapi/plugin.h"

namespace bench {

class PluginHost {
 public:
  // `program` names the benchmark in its error lines.
  PluginHost(const std::string& folder, const char* modulePath, const char* program)
      : home_(SetHome(folder)), program_(program) {
    auto reg = SUCCEEDED(module_.Load(modulePath))
                   ? reinterpret_cast<DllRegisterServerFn>(module_.Symbol("DllRegisterServer"))
                   : nullptr;
    if (!reg || FAILED(reg()) || FAILED(com::CreateInstance(CLSID_DX470DeviceEvent, &events_)))
      std::fprintf(stderr, "%s: the plug-in cannot be registered\n", program);
  }
  bool Ready() const { return bool(events_); }

  // A device at `address` with its configuration; false (with a line on
  // standard error) when the project or the plug-in refuses it.
  bool AddDevice(host::Project& project, const host::PhysicalAddress& address, int64_t& id,
                 com::ComPtr<IDevice>& object) {
    id = project.AddDevice(address, host::Dx47xDeviceTemplate());
    if (FAILED(host::MakeDeviceObject(project, id, &object)) ||
        FAILED(events_->OnAddDevide(object.Get(), nullptr))) {
      std::fprintf(stderr, "%s: the device cannot be added\n", program_);
      return false;
    }
    return true;
  }

 private:
  static bool SetHome(const std::string& folder) { return setenv("DX47X_HOME", folder.c_str(), 1) == 0; }

  bool home_;  // set before the services read it
  const char* program_;
  host::HostServices services_;
  com::ServerModule module_;
  com::ComPtr<IDeviceEvents> events_;
};

}  // namespace bench
