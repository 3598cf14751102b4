#include "dx470ui.h"

#include <new>

#include "base/strings.h"
#include "com/barrier.h"
#include "editor/editor_run.h"
#include "plugin_module.h"
#include "ui/ids.h"

namespace plugin {
std::atomic<int> g_openDialogs{0};
}  // namespace plugin

namespace {

// Counts the editor as an open dialog of the module while it runs.
class OpenDialog {
 public:
  OpenDialog() { ++plugin::g_openDialogs; }
  ~OpenDialog() { --plugin::g_openDialogs; }
  OpenDialog(const OpenDialog&) = delete;
  OpenDialog& operator=(const OpenDialog&) = delete;
};

// Leaves a description of a failed Edit for the host.
void Describe(const char16_t* text) {
  com::ComPtr<IErrorInfo> info;
  if (SUCCEEDED(com::MakeErrorInfo(text, &info, u"DX470PlugIn.DX470UI"))) SetErrorInfo(0, info.Get());
}

}  // namespace

CDX470UI::CDX470UI() : m_oLog("DX470PlugIn.DX470UI") {}

HRESULT CDX470UI::SetDevice(LONG kind, IUnknown** object) {
  if (!object) return E_POINTER;
  if (kind != 1) return E_FAIL;
  m_spDevice = com::ComPtr<IUnknown>(*object);
  return S_OK;
}

HRESULT CDX470UI::Edit() {
  if (!m_spDevice) return E_POINTER;
  return com::CallGuarded([&]() -> HRESULT {
    com::ComPtr<IDevice> device;
    HRESULT hr = m_spDevice->QueryInterface(IDevice::iid, device.PpvSlot());
    if (FAILED(hr)) return hr;
    hr = m_oDX470Data.EtsInit(device.Get());
    if (FAILED(hr)) return hr;
    hr = m_oDX470Data.DataInit();
    if (FAILED(hr)) return hr;

    editor::EditorResult run;
    {
      OpenDialog open;
      run = editor::RunEditor(m_oDX470Data);
    }
    if (run.hr == EDIT_E_SCRIPT_FAILED) {
      Describe(u"the UI script failed; nothing was saved");
      return run.hr;
    }
    if (run.hr == EDIT_E_NO_DISPLAY) {
      std::u16string why =
          base::Utf8ToUtf16(run.problem.empty() ? "there is no display to show the editor on" : run.problem);
      Describe(why.c_str());
      return run.hr;
    }
    switch (run.dialogResult) {
      case ui::IDOK:
        hr = m_oDX470Data.WriteBlobAndEtsParameter();
        if (FAILED(hr)) {
          TRACE_FAILED(m_oLog, "m_oDX470Data.WriteBlobAndEtsParameter", hr);
          return hr;
        }
        return S_OK;
      case ui::IDCANCEL: return E_ABORT;
      default: return E_FAIL;
    }
  });
}

HRESULT CDX470UI::InterfaceSupportsErrorInfo(REFIID iid) { return iid == IDeviceUI::iid ? S_OK : S_FALSE; }
