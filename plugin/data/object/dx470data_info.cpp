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

// The address parts of a device's line and of the line's area (when it has
// one), as AddressPart gives them.
HRESULT LineAndAreaParts(const CLogger& log, ILine* spLine, std::string& line, std::string& area) {
  com::Variant lineAddress;
  HRESULT hr = spLine->get_Address(&lineAddress);
  if (FAILED(hr)) {
    TRACE_FAILED(log, "spLine->get_Address", hr);
    return hr;
  }
  line = AddressPart(lineAddress);
  com::ComPtr<IArea> spArea;
  hr = spLine->get_Parent(&spArea);
  if (FAILED(hr)) {
    TRACE_FAILED(log, "spLine->get_Parent", hr);
    return hr;
  }
  if (!spArea) return S_OK;
  com::Variant areaAddress;
  hr = spArea->get_Address(&areaAddress);
  if (FAILED(hr)) {
    TRACE_FAILED(log, "spArea->get_Address", hr);
    return hr;
  }
  area = AddressPart(areaAddress);
  return S_OK;
}

// What every descriptive text does first: `text` is `fallback` until it is
// known, and a data object without host device answers
// STG_E_INVALIDPARAMETER. Otherwise `read` finds the text.
template <class Read>
HRESULT DeviceText(bool bound, const CLogger& log, std::string& text, const char* fallback, Read read) {
  text = fallback;
  if (!bound) {
    TRACE_ASSERT(log);
    return STG_E_INVALIDPARAMETER;
  }
  return read();
}

}  // namespace

HRESULT CDX470Data::EtsGetDeviceName(std::string& text) {
  return DeviceText(IsBound(), m_oLog, text, "Device Name not vaild", [&] {
    com::Bstr name;
    HRESULT hr = m_spDevice->get_Name(&name);
    if (FAILED(hr)) {
      TRACE_FAILED(m_oLog, "m_spDevice->get_Name", hr);
      return hr;
    }
    text = name.ToUtf8();
    return S_OK;
  });
}

HRESULT CDX470Data::EtsGetPhysicalAddress(std::string& text) {
  return DeviceText(IsBound(), m_oLog, text, "-.-.-", [&] {
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
      hr = LineAndAreaParts(m_oLog, spLine.Get(), line, area);
      if (FAILED(hr)) return hr;
    }
    text = area + "." + line + "." + AddressPart(device);
    return S_OK;
  });
}

HRESULT CDX470Data::ApplicationProgram(com::ComPtr<IApplicationProgram>& program) {
  HRESULT hr = m_spDevice->get_ApplicationProgram(&program);
  if (SUCCEEDED(hr) && !program) hr = E_POINTER;
  if (FAILED(hr)) TRACE_FAILED(m_oLog, "m_spDevice->get_ApplicationProgram", hr);
  return hr;
}

HRESULT CDX470Data::EtsApplicationVersion(std::string& text) {
  return DeviceText(IsBound(), m_oLog, text, "Version not vaild", [&] {
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
  });
}

HRESULT CDX470Data::EtsApplicationDeviceType(std::string& text) {
  return DeviceText(IsBound(), m_oLog, text, "Device Type not vaild", [&] {
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
  });
}
