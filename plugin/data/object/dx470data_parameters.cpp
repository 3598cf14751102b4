// Mirroring of the message types into the host's device parameters and the
// host's parameters-loaded flag.
#include <cstring>

#include "com/variant.h"
#include "data/dx470data.h"

void CDX470Data::BuildMirroredValues(uint8_t (&values)[kMirroredCount]) const {
  const dx470::PARAM& p = m_oBlob.Current;
  std::memcpy(values, p.MessageKind, dx470::kSlotCount);
  std::memcpy(values + dx470::kSlotCount, p.MessageType, dx470::kSlotCount);
  values[kMirroredCount - 1] = 0;
}

HRESULT CDX470Data::WriteBlobAndEtsParameter() {
  uint8_t values[kMirroredCount];
  BuildMirroredValues(values);

  // A configuration that differs from the downloaded one needs a download.
  if (std::memcmp(&m_oBlob.Current, &m_oBlob.Downloaded, sizeof(dx470::PARAM)) != 0) {
    HRESULT hr = EtsSet_FlagParmetersLoaded(0);
    if (FAILED(hr))
      m_oLog.Trace(TRACE_LEVEL_ERROR, "Line:%d   'EtsSet_FlagParmetersLoaded' mit Fehler %s fehlgeschlagen",
                   __LINE__, base::ErrorText(hr).c_str());
  }
  HRESULT hr = EtsWriteParameter(values, kMirroredCount, false);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "EtsWriteParameter", hr);
    return hr;
  }
  hr = EtsWriteBlob(&m_oBlob);
  if (FAILED(hr)) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "Line:%d   'EtsWriteBlob' mit Fehler %s  fehlgeschlagen", __LINE__,
                 base::ErrorText(hr).c_str());
    return hr;
  }
  m_oLog.Trace(TRACE_LEVEL_INFO, "Parameter und Blob erfolgreich geschrieben");
  return S_OK;
}

HRESULT CDX470Data::EtsWriteParameter(const uint8_t* values, SHORT count, bool force) {
  if (!m_spDevice || !values) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  com::ComPtr<IDeviceParameters> spDeviceParameters;
  HRESULT hr = m_spDevice->get_DeviceParameters(&spDeviceParameters);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "m_spDevice->get_DeviceParameters", hr);
    return hr;
  }
  if (!spDeviceParameters) return E_POINTER;
  LONG hostCount = 0;
  hr = spDeviceParameters->get_Count(&hostCount);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "spDeviceParameters->get_Count", hr);
    return hr;
  }
  if (hostCount != count) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "Anzahl Parmeter nicht OK gefordert = %d; in Datenbank = %d", int(count),
                 int(hostCount));
    return kNoBlob;
  }
  for (LONG i = 1; i <= count; ++i) {
    com::ComPtr<IDeviceParameter> spDeviceParameter;
    hr = spDeviceParameters->get_Item(com::Variant(int32_t(i)), &spDeviceParameter);
    if (FAILED(hr) || !spDeviceParameter) {
      if (SUCCEEDED(hr)) hr = E_POINTER;
      TRACE_FAILED(m_oLog, "spDeviceParameters->get_Item", hr);
      return hr;
    }
    com::ComPtr<IParameter> definition;
    hr = spDeviceParameter->get_Parameter(&definition);
    if (FAILED(hr) || !definition) {
      if (SUCCEEDED(hr)) hr = E_POINTER;
      TRACE_FAILED(m_oLog, "spDeviceParameter->get_Parameter", hr);
      return hr;
    }
    LONG order = 0;
    hr = definition->get_DisplayOrder(&order);
    if (FAILED(hr)) {
      m_oLog.Trace(TRACE_LEVEL_ERROR, "get_DisplayOrder failed %s", base::ErrorText(hr).c_str());
      return hr;
    }
    if (order <= 0 || order > count) {
      m_oLog.Trace(TRACE_LEVEL_ERROR, "Display Order zu Gross = %d ", int(order));
      return S_OK;
    }
    com::Variant newValue(values[order - 1]);
    newValue.ChangeType(VT_I4);
    com::Variant oldValue;
    hr = spDeviceParameter->get_Value(&oldValue);
    if (FAILED(hr)) {
      m_oLog.Trace(TRACE_LEVEL_ERROR, "get_Value failed %s", base::ErrorText(hr).c_str());
      return hr;
    }
    // A host value that is no number counts as different and is replaced.
    bool equal = SUCCEEDED(oldValue.ChangeType(VT_I4)) && oldValue.lVal == newValue.lVal;
    if (!force && equal) continue;
    m_oLog.Trace(TRACE_LEVEL_INFO,
                 "Line:%d - Funktion:EtsWriteParameter - Write Parameter -  Displayorder %d - Value %d ",
                 __LINE__, int(order), int(newValue.lVal));
    hr = spDeviceParameter->put_Value(newValue);
    if (FAILED(hr)) {
      TRACE_FAILED(m_oLog, "spDeviceParameter->put_Value", hr);
      return hr;
    }
  }
  return S_OK;
}

HRESULT CDX470Data::EtsSet_FlagParmetersLoaded(LONG loaded) {
  if (!m_spDevice) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  HRESULT hr = m_spDevice->put_ParametersLoaded(loaded);
  if (FAILED(hr)) TRACE_FAILED(m_oLog, "m_spDevice->put_ParametersLoaded", hr);
  return hr;
}
