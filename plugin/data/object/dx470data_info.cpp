// Descriptive texts of the host device for the editor.
#include "base/strings.h"
#include "com/variant.h"
#include "data/dx470data.h"

namespace {

// A VARIANT address part as "%d", or "-" when it is missing or no number.
std::string AddressPart(const VARIANT& v) {
  com::Variant n(v);
  if (v.vt == VT_NULL || v.vt == VT_EMPTY || FAILED(n.ChangeType(VT_I4))) return "-";
  return base::Format("%d", int(n.lVal));
}

}  // namespace

HRESULT CDX470Data::EtsGetDeviceName(std::string& text) {
  text = "Device Name not vaild";
  if (!m_spDevice) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  com::Bstr name;
  HRESULT hr = m_spDevice->get_Name(&name);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "m_spDevice->get_Name", hr);
    return hr;
  }
  text = name.ToUtf8();
  return S_OK;
}

HRESULT CDX470Data::EtsGetPhysicalAddress(std::string& text) {
  text = "-.-.-";
  if (!m_spDevice) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  com::Variant device;
  HRESULT hr = m_spDevice->get_Address(&device);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "m_spDevice->get_Address", hr);
    return hr;
  }
  if (device.vt == VT_NULL || device.vt == VT_EMPTY) {
    m_oLog.Trace(TRACE_LEVEL_INFO, "Physical Adress nonexistent");
    return S_OK;
  }
  std::string area = "-", line = "-";
  com::ComPtr<ILine> spLine;
  hr = m_spDevice->get_Line(&spLine);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "m_spDevice->get_Line", hr);
    return hr;
  }
  if (spLine) {
    com::Variant lineAddress;
    hr = spLine->get_Address(&lineAddress);
    if (FAILED(hr)) {
      TRACE_FAILED(m_oLog, "spLine->get_Address", hr);
      return hr;
    }
    line = AddressPart(lineAddress);
    com::ComPtr<IArea> spArea;
    hr = spLine->get_Parent(&spArea);
    if (FAILED(hr)) {
      TRACE_FAILED(m_oLog, "spLine->get_Parent", hr);
      return hr;
    }
    if (spArea) {
      com::Variant areaAddress;
      hr = spArea->get_Address(&areaAddress);
      if (FAILED(hr)) {
        TRACE_FAILED(m_oLog, "spArea->get_Address", hr);
        return hr;
      }
      area = AddressPart(areaAddress);
    }
  }
  text = area + "." + line + "." + AddressPart(device);
  return S_OK;
}

HRESULT CDX470Data::ApplicationProgram(com::ComPtr<IApplicationProgram>& program) {
  HRESULT hr = m_spDevice->get_ApplicationProgram(&program);
  if (SUCCEEDED(hr) && !program) hr = E_POINTER;
  if (FAILED(hr)) TRACE_FAILED(m_oLog, "m_spDevice->get_ApplicationProgram", hr);
  return hr;
}

HRESULT CDX470Data::EtsApplicationVersion(std::string& text) {
  text = "Version not vaild";
  if (!m_spDevice) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  com::ComPtr<IApplicationProgram> program;
  HRESULT hr = ApplicationProgram(program);
  if (FAILED(hr)) return hr;
  SHORT version = 0;
  hr = program->get_Version(&version);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "spApplicationProgram->get_Version", hr);
    return hr;
  }
  text = base::Format("%.2x", unsigned(uint16_t(version)));
  return S_OK;
}

HRESULT CDX470Data::EtsApplicationDeviceType(std::string& text) {
  text = "Device Type not vaild";
  if (!m_spDevice) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  com::ComPtr<IApplicationProgram> program;
  HRESULT hr = ApplicationProgram(program);
  if (FAILED(hr)) return hr;
  LONG type = 0;
  hr = program->get_DeviceType(&type);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "spApplicationProgram->get_DeviceType", hr);
    return hr;
  }
  text = base::Format("%X", unsigned(type));
  return S_OK;
}
