// edit: opens the plug-in's editor on a device of the project, as a host
// does when the user opens the device's parameters, and reports how it
// ended. With --script the editor runs a UI script instead of a window.
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli.h"
#include "com/cocreate.h"
#include "com/comptr.h"
#include "com/errorinfo.h"
#include "host/project.h"
#include "host/project_blob.h"
#include "host/project_errors.h"
#include "host/project_objects.h"
#include "host/services.h"
#include "hostapi/plugin.h"
#include "win/file.h"

namespace cli {
namespace {

// Exit statuses of the command beside those of cli.h.
constexpr int kCancelled = 3;
constexpr int kScriptFailedExitStatus = 4;

// The most a UI script file may hold: scripts are a few hundred lines.
constexpr uint64_t kMaxScriptBytes = uint64_t{16} << 20;

}  // namespace

int CmdEdit(Context& ctx) {
  std::optional<std::string> address, script;
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    if (a == "--script")
      script = OptionValue("edit", ctx.args, &i);
    else if (a.rfind("--", 0) == 0 || address)
      throw UsageError{"edit: unexpected argument " + a};
    else
      address = a;
  }
  if (!address) throw UsageError{"edit: the device address is missing"};
  host::PhysicalAddress target = AddressArg("edit", *address);
  // A FIFO or a device as the script would block the editor for ever, an
  // endless one fill the memory. A missing script is the runner's to report
  // (exit 4); "-" is standard input.
  if (script && *script != "-") {
    const DWORD e = win::CheckRegularFile(*script, kMaxScriptBytes);
    if (e == win::kErrorNotRegularFile || e == win::kErrorFileTooLarge)
      return Fail("cannot read the UI script " + *script + ": " + win::FileErrorText(e, kMaxScriptBytes) +
                  " Nothing was changed.");
  }

  host::Project project = host::Project::Open(ctx.projectPath);
  int64_t id = project.DeviceAt(target);
  // The plug-in would refuse such a device with a bare code.
  if (std::optional<std::string> problem = host::ConfigurationProblem(project, id)) return Fail(*problem);
  com::ComPtr<IDevice> device;
  HRESULT hr = host::MakeDeviceObject(project, id, &device);
  if (FAILED(hr)) return Fail("cannot create the device object " + CallError(hr));
  com::ComPtr<IDeviceUI> editor;
  hr = CoCreateInstance(CLSID_DX470UI, nullptr, CLSCTX_INPROC_SERVER, IDeviceUI::iid, editor.PpvSlot());
  if (FAILED(hr))
    return Fail("the plug-in's editor is not available " + CallError(hr) + " (run 'dx47x-host register')");
  IUnknown* object = device.Get();
  hr = editor->SetDevice(1, &object);
  if (FAILED(hr)) return Fail("the plug-in refused the device " + CallError(hr));

  // The editor asks the host for its script (IEditorScript).
  std::optional<host::EditorScript> hostScript;
  if (script) hostScript.emplace(*script);
  SetErrorInfo(0, nullptr);  // only an error object left by Edit describes it
  hr = editor->Edit();
  hostScript.reset();
  std::fflush(stdout);

  if (hr == S_OK) {
    std::printf("saved the configuration of device %s\n", target.ToString().c_str());
    return kSuccess;
  }
  if (hr == E_ABORT) {
    std::printf("editing of device %s cancelled; the project is unchanged\n", target.ToString().c_str());
    return kCancelled;
  }
  if (hr == EDIT_E_SCRIPT_FAILED) {
    std::fprintf(stderr, "dx47x-host: the UI script failed; nothing was saved\n");
    return kScriptFailedExitStatus;
  }
  if (hr == host::PROJECT_E_CONFIGURATION_CHANGED)
    return Fail("the configuration of device " + target.ToString() +
                " was changed by another program while the editor was open; nothing was saved "
                "(open the editor again to make the change on the new configuration)");
  if (hr == EDIT_E_NO_DISPLAY) {
    std::string why = ErrorDescription();
    return Fail(why.empty() ? "there is no display to show the editor on" : why);
  }
  return Fail("the editor failed: " + CallError(hr));
}

}  // namespace cli
