// Communication objects, their group addresses and the descriptive header
// of a printed documentation, read from the host device.
#include "base/strings.h"
#include "com/variant.h"
#include "data/dx470data.h"

namespace {

// Format text the host expands to main/middle/sub.
constexpr const char16_t* kGroupAddressFormat = u"$(GroupAddress,eteC.GroupAddress)";

// A 1-based collection index as the host takes it.
com::Variant Index(LONG i) {
  com::Variant v;
  v.vt = VT_I4;
  v.lVal = i;
  return v;
}

// A call that succeeded but handed out no object counts as a failure.
template <class T>
HRESULT Required(HRESULT hr, const com::ComPtr<T>& p) {
  return SUCCEEDED(hr) && !p ? E_POINTER : hr;
}

}  // namespace

HRESULT CDX470Data::SearchDeviceCommunicationObject(SHORT number, IDeviceCommunicationObject** object,
                                                    LONG* count) {
  if (object) *object = nullptr;
  if (!m_spDevice) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  com::ComPtr<IDeviceCommunicationObjects> pDeviceCommunicationObjects;
  HRESULT hr = Required(m_spDevice->get_VisibleDeviceCommunicationObjects(&pDeviceCommunicationObjects),
                        pDeviceCommunicationObjects);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "m_spDevice->get_VisibleDeviceCommunicationObjects", hr);
    return hr;
  }
  LONG total = 0;
  hr = pDeviceCommunicationObjects->get_Count(&total);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "pDeviceCommunicationObjects->get_Count", hr);
    return hr;
  }
  if (count) *count = total;
  for (LONG i = 1; i <= total; ++i) {
    com::ComPtr<IDeviceCommunicationObject> pTempDeviceCommunicationObject;
    hr = Required(pDeviceCommunicationObjects->get_Item(Index(i), &pTempDeviceCommunicationObject),
                  pTempDeviceCommunicationObject);
    if (FAILED(hr)) {
      TRACE_FAILED(m_oLog, "pDeviceCommunicationObjects->get_Item", hr);
      return hr;
    }
    LONG found = 0;
    hr = pTempDeviceCommunicationObject->get_CommunicationObjectNumber(&found);
    if (FAILED(hr)) {
      TRACE_FAILED(m_oLog, "pTempDeviceCommunicationObject->get_CommunicationObjectNumber", hr);
      return hr;
    }
    if (static_cast<SHORT>(found) == number) {
      if (object) *object = pTempDeviceCommunicationObject.Detach();
      return S_OK;
    }
  }
  m_oLog.Trace(TRACE_LEVEL_INFO,
               "Line:%d - SearchDeviceCommunicationObject: Das Objekt Nr.: %d wurde nicht "
               "gefunden (unsichtbar?)!",
               __LINE__, int(number));
  return kObjectNotFound;
}

HRESULT CDX470Data::AppendAssociation(IAssociations* associations, LONG index, std::string& numbers,
                                      std::string& addresses) {
  com::ComPtr<IAssociation> pAssociation;
  HRESULT hr = Required(associations->get_Item(Index(index), &pAssociation), pAssociation);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "pAssociations->get_Item", hr);
    return hr;
  }
  com::ComPtr<IGroupAddress> pGroupAddress;
  hr = Required(pAssociation->get_GroupAddress(&pGroupAddress), pGroupAddress);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "pAssociation->get_GroupAddress", hr);
    return hr;
  }
  LONG value = 0;
  hr = pGroupAddress->get_GroupAddress(&value);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "pGroupAddress->get_GroupAddress", hr);
    return hr;
  }
  numbers += base::Format("%d ", int(value));
  com::Bstr format(kGroupAddressFormat);
  com::Bstr text;
  hr = pGroupAddress->Format(format.Get(), &text);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "pGroupAddress->Format", hr);
    return hr;
  }
  addresses += text.ToUtf8() + "; ";
  return S_OK;
}

HRESULT CDX470Data::EtsGetGAsToObject(SHORT number, std::string& name, std::string& function,
                                      std::string& numbers, std::string& addresses) {
  name.clear();
  function.clear();
  numbers.clear();
  addresses.clear();
  if (!m_spDevice) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  com::ComPtr<IDeviceCommunicationObject> pDeviceCommunicationObject;
  HRESULT hr = SearchDeviceCommunicationObject(number, &pDeviceCommunicationObject, nullptr);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "SearchDeviceCommunicationObject", hr);
    return STG_E_INVALIDPARAMETER;
  }
  com::Bstr text;
  hr = pDeviceCommunicationObject->get_Name(&text);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "pDeviceCommunicationObject->get_Name", hr);
    return hr;
  }
  name = text.ToUtf8();
  com::Bstr functionText;
  hr = pDeviceCommunicationObject->get_CommunicationObjectFunction(&functionText);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "pDeviceCommunicationObject->get_CommunicationObjectFunction", hr);
    return hr;
  }
  function = functionText.ToUtf8();
  com::ComPtr<IAssociations> pAssociations;
  hr = Required(pDeviceCommunicationObject->get_Associations(&pAssociations), pAssociations);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "pDeviceCommunicationObject->get_Associations", hr);
    return hr;
  }
  LONG count = 0;
  hr = pAssociations->get_Count(&count);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "(pAssociations->get_Count", hr);
    return hr;
  }
  for (LONG i = 1; i <= count && SUCCEEDED(hr); ++i)
    hr = AppendAssociation(pAssociations.Get(), i, numbers, addresses);
  return hr;
}

HRESULT CDX470Data::ReadProjectName(std::string& name) {
  com::ComPtr<IProject> spProject;
  HRESULT hr = m_spDevice->get_Project(&spProject);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "get_Project", hr);
    return hr;
  }
  if (!spProject) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  com::Bstr text;
  hr = spProject->get_Name(&text);
  if (FAILED(hr)) {
    TRACE_FAILED(m_oLog, "get_Name", hr);
    return hr;
  }
  name = text.ToUtf8();
  return S_OK;
}

// Each text of the device is read by its own macro line so that a failure
// trace names the call that failed.
#define READ_DEVICE_TEXT(call, target)         \
  do {                                         \
    com::Bstr value;                           \
    HRESULT hrRead = m_spDevice->call(&value); \
    if (FAILED(hrRead)) {                      \
      TRACE_FAILED(m_oLog, #call, hrRead);     \
      return hrRead;                           \
    }                                          \
    target = value.ToUtf8();                   \
  } while (false)

HRESULT CDX470Data::EtsGetHeaderDataForPrinting(std::string& project, std::string& product,
                                                std::string& description, std::string& address,
                                                const std::string& label) {
  if (!m_spDevice) {
    TRACE_ASSERT(m_oLog);
    return STG_E_INVALIDPARAMETER;
  }
  std::string projectName;
  HRESULT hr = ReadProjectName(projectName);
  if (FAILED(hr)) return hr;
  project += "    " + projectName;

  std::string productName, manufacturer, orderNumber, programName;
  READ_DEVICE_TEXT(get_ProductName, productName);
  READ_DEVICE_TEXT(get_ManufacturerName, manufacturer);
  READ_DEVICE_TEXT(get_OrderNumber, orderNumber);
  product = productName + " / " + manufacturer + " / " + orderNumber;
  READ_DEVICE_TEXT(get_DeviceDescription, description);
  READ_DEVICE_TEXT(get_ProgramName, programName);

  std::string physical;
  hr = EtsGetPhysicalAddress(physical);
  if (FAILED(hr)) return hr;
  address += ": " + physical + " / " + label + " " + programName;
  return S_OK;
}

#undef READ_DEVICE_TEXT
