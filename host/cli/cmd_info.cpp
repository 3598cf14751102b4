// info: the registered classes of the plug-in module, each created by CLSID
// through COM, with the interfaces it answers.
#include <cstdio>

#include "base/strings.h"
#include "cli.h"
#include "com/cocreate.h"
#include "com/comptr.h"
#include "com/errorinfo.h"
#include "host/modules.h"
#include "hostapi/plugin.h"
#include "printable.h"
#include "win/registry.h"

namespace cli {
namespace {

struct KnownInterface {
  const char* name;
  IID iid;
};
const KnownInterface kInterfaces[] = {
    {"IUnknown", IUnknown::iid},
    {"IDeviceUI", IDeviceUI::iid},
    {"IDeviceEvents", IDeviceEvents::iid},
    {"IDeviceDownload", IDeviceDownload::iid},
    {"ISupportErrorInfo", ISupportErrorInfo::iid},
};

}  // namespace

int CmdInfo(Context& ctx) {
  if (!ctx.args.empty()) throw UsageError{"info: unexpected argument " + ctx.args[0]};
  const std::string module = host::ExecutableDirectory() + "DX47x.so";
  std::vector<host::RegisteredClass> classes = host::ClassesOfModule(module);
  if (classes.empty()) {
    // An unreadable registry is not an empty one: say which file is wrong.
    win::RegKey key;
    const LONG status = key.Open(HKEY_CLASSES_ROOT, "CLSID");
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
      return Fail("cannot read the registered classes: " + win::RegistryLastError());
    return Fail("no classes of " + module + " are registered (run 'dx47x-host register')");
  }
  std::printf("%s\n", Printable(module).c_str());
  int failures = 0;
  for (const host::RegisteredClass& c : classes) {
    // Descriptions, ProgIDs and threading models come from the registry files.
    std::printf("  %s %s\n    ProgID: %s\n    ThreadingModel: %s\n", com::GuidToString(c.clsid).c_str(),
                Printable(c.description).c_str(), Printable(c.progId).c_str(),
                Printable(c.threadingModel).c_str());
    com::ComPtr<IUnknown> object;
    HRESULT hr = CoCreateInstance(c.clsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, object.PpvSlot());
    if (FAILED(hr)) {
      std::printf("    created: no %s\n", Printable(CallError(hr)).c_str());
      ++failures;
      continue;
    }
    std::string answered;
    for (const KnownInterface& k : kInterfaces) {
      com::ComPtr<IUnknown> p;
      if (SUCCEEDED(object->QueryInterface(k.iid, p.PpvSlot())))
        answered += std::string(answered.empty() ? "" : ", ") + k.name;
    }
    std::printf("    interfaces: %s\n", answered.c_str());
  }
  return failures == 0 ? kSuccess : Fail("some classes could not be created");
}

}  // namespace cli
