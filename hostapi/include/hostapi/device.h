#pragma once
// The host's device object model, as the plug-in reaches it.
//
// Only IDevice and IDeviceExtData have identifiers fixed by the host; the
// identifiers and slot order of the other interfaces are this host's own.
// Slot order of every interface: QueryInterface, AddRef, Release, then the
// methods in the order they are declared here.
#include "com/bstr.h"
#include "com/unknown.h"
#include "com/variant.h"

struct IProject;
struct ILine;
struct IArea;
struct IApplicationProgram;
struct IDeviceParameters;
struct IDeviceCommunicationObjects;

struct IDevice : IUnknown {
  virtual HRESULT get_Name(BSTR* name) = 0;
  // Device number within its line; VT_NULL when the device has no address.
  virtual HRESULT get_Address(VARIANT* address) = 0;
  virtual HRESULT get_Line(ILine** line) = 0;
  virtual HRESULT get_ApplicationProgram(IApplicationProgram** program) = 0;
  virtual HRESULT get_DeviceParameters(IDeviceParameters** parameters) = 0;
  // 1 when the parameters in the project are the ones in the device.
  virtual HRESULT put_ParametersLoaded(LONG loaded) = 0;
  virtual HRESULT get_ParametersLoaded(LONG* loaded) = 0;
  virtual HRESULT get_VisibleDeviceCommunicationObjects(IDeviceCommunicationObjects** objects) = 0;
  virtual HRESULT get_Project(IProject** project) = 0;
  virtual HRESULT get_ProductName(BSTR* text) = 0;
  virtual HRESULT get_ManufacturerName(BSTR* text) = 0;
  virtual HRESULT get_OrderNumber(BSTR* text) = 0;
  virtual HRESULT get_DeviceDescription(BSTR* text) = 0;
  virtual HRESULT get_ProgramName(BSTR* text) = 0;
  static constexpr IID iid = MakeGuid("571421A3-3015-11D5-B40D-00104B091E6B");
};

struct IDeviceExtData : IUnknown {
  // VT_NULL when nothing is stored under the key.
  virtual HRESULT ReadExtData(BSTR key, VARIANT* value) = 0;
  // Stores a copy of the value; it persists with the project.
  virtual HRESULT WriteExtData(BSTR key, VARIANT value) = 0;
  static constexpr IID iid = MakeGuid("04DDED34-8EB1-4FF0-B04F-DFE81A842B7E");
};

struct IProject : IUnknown {
  virtual HRESULT get_Name(BSTR* name) = 0;
  static constexpr IID iid = MakeGuid("91D4A1AC-D755-41AC-92A3-A012F8F8DDEF");
};

struct IArea : IUnknown {
  virtual HRESULT get_Address(VARIANT* address) = 0;
  static constexpr IID iid = MakeGuid("0CF4A329-5D4F-45F0-A00F-CBC4AA1C23D6");
};

struct ILine : IUnknown {
  virtual HRESULT get_Address(VARIANT* address) = 0;
  virtual HRESULT get_Parent(IArea** area) = 0;
  static constexpr IID iid = MakeGuid("D3CB913F-65CB-41FC-AB23-D874B966B091");
};

struct IApplicationProgram : IUnknown {
  // 16-bit version of the application program.
  virtual HRESULT get_Version(SHORT* version) = 0;
  virtual HRESULT get_DeviceType(LONG* type) = 0;
  static constexpr IID iid = MakeGuid("BC056EE6-79D3-4AEC-ADA7-3BB3C1DA8A35");
};

struct IParameter : IUnknown {
  virtual HRESULT get_DisplayOrder(LONG* order) = 0;
  static constexpr IID iid = MakeGuid("C2A0D865-1C0F-410A-A8D2-BDF36C6370A2");
};

struct IDeviceParameter : IUnknown {
  virtual HRESULT get_Parameter(IParameter** definition) = 0;
  virtual HRESULT get_Value(VARIANT* value) = 0;
  // A value put is what get_Value returns afterwards.
  virtual HRESULT put_Value(VARIANT value) = 0;
  static constexpr IID iid = MakeGuid("27351FD3-552F-43BC-AF09-1048ED7E88CC");
};

struct IDeviceParameters : IUnknown {
  virtual HRESULT get_Count(LONG* count) = 0;
  // 1-based index as VT_I4.
  virtual HRESULT get_Item(VARIANT index, IDeviceParameter** item) = 0;
  static constexpr IID iid = MakeGuid("FEAC27E3-0065-4698-B939-153244A8740C");
};

struct IGroupAddress : IUnknown {
  // The 16-bit group address as a number.
  virtual HRESULT get_GroupAddress(LONG* address) = 0;
  // Formats the address; the format text "$(GroupAddress,eteC.GroupAddress)"
  // gives main/middle/sub.
  virtual HRESULT Format(BSTR format, BSTR* text) = 0;
  static constexpr IID iid = MakeGuid("8D4AA41E-57B6-4F24-858E-17318F41705B");
};

struct IAssociation : IUnknown {
  virtual HRESULT get_GroupAddress(IGroupAddress** address) = 0;
  static constexpr IID iid = MakeGuid("BDA49CC1-11CB-49A4-8F0C-B68FC1B98786");
};

struct IAssociations : IUnknown {
  virtual HRESULT get_Count(LONG* count) = 0;
  virtual HRESULT get_Item(VARIANT index, IAssociation** item) = 0;
  static constexpr IID iid = MakeGuid("9045F12E-55ED-4F27-8DD7-2CC0117018CC");
};

struct IDeviceCommunicationObject : IUnknown {
  virtual HRESULT get_CommunicationObjectNumber(LONG* number) = 0;
  virtual HRESULT get_Name(BSTR* name) = 0;
  virtual HRESULT get_CommunicationObjectFunction(BSTR* function) = 0;
  virtual HRESULT get_Associations(IAssociations** associations) = 0;
  static constexpr IID iid = MakeGuid("A0130762-7651-4406-8D0A-49C7049AF273");
};

struct IDeviceCommunicationObjects : IUnknown {
  virtual HRESULT get_Count(LONG* count) = 0;
  virtual HRESULT get_Item(VARIANT index, IDeviceCommunicationObject** item) = 0;
  static constexpr IID iid = MakeGuid("431F9EF1-BD7F-4D17-8F1E-2AF28798A281");
};
