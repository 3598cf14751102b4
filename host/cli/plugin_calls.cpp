// Calls into the plug-in that several commands make, as a host does.
#include "base/strings.h"
#include "cli.h"
#include "com/cocreate.h"
#include "com/comptr.h"
#include "com/errorinfo.h"
#include "host/project_objects.h"
#include "hostapi/plugin.h"

namespace cli {
namespace {

// A registry that cannot be read is mended by hand, not by registering.
std::string RegisterHint(HRESULT hr) {
  return hr == REGDB_E_READREGDB ? std::string() : " (run 'dx47x-host register')";
}

}  // namespace

// The text of a failed call, with the callee's error description if it left one.
std::string ErrorDescription() {
  com::ComPtr<IErrorInfo> info;
  com::Bstr description;
  if (GetErrorInfo(0, &info) == S_OK && info && SUCCEEDED(info->GetDescription(&description)))
    return description.ToUtf8();
  return {};
}

std::string CallError(HRESULT hr) {
  std::string text = base::ErrorText(hr);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  com::ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, &info) == S_OK && info) {
    com::Bstr description;
    if (SUCCEEDED(info->GetDescription(&description)) && !description.Empty())
      text += " - " + description.ToUtf8();
  }
  return text;
}

// Tells the plug-in about a new device, as a host does after adding or
// copying one.
HRESULT NotifyPlugin(const host::Project& project, int64_t id, std::optional<int64_t> sourceId,
                     std::string* error) {
  com::ComPtr<IDevice> device, source;
  HRESULT hr = host::MakeDeviceObject(project, id, &device);
  if (SUCCEEDED(hr) && sourceId) hr = host::MakeDeviceObject(project, *sourceId, &source);
  if (FAILED(hr)) {
    *error = "cannot create the device object " + CallError(hr);
    return hr;
  }
  com::ComPtr<IDeviceEvents> events;
  hr = CoCreateInstance(CLSID_DX470DeviceEvent, nullptr, CLSCTX_INPROC_SERVER, IDeviceEvents::iid,
                        events.PpvSlot());
  if (FAILED(hr)) {
    *error = "the plug-in's device events are not available " + CallError(hr) + RegisterHint(hr);
    return hr;
  }
  SetErrorInfo(0, nullptr);  // only an error object left by this call describes it
  hr = events->OnAddDevide(device.Get(), source.Get());
  if (FAILED(hr)) *error = "the plug-in's OnAddDevide failed " + CallError(hr);
  return hr;
}

}  // namespace cli
