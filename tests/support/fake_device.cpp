#include "fake_device.h"

#include "com/comptr.h"

namespace testsupport {
namespace {

class FakeParameter : public IParameter, public IDeviceParameter, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDeviceParameter;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IParameter, IDeviceParameter>(this, iid, ppv);
  }
  HRESULT get_DisplayOrder(LONG* order) override {
    *order = state->displayOrders[index];
    return S_OK;
  }
  HRESULT get_Parameter(IParameter** definition) override {
    *definition = static_cast<IParameter*>(this);
    (*definition)->AddRef();
    return S_OK;
  }
  HRESULT get_Value(VARIANT* value) override {
    VariantInit(value);
    value->vt = VT_I4;
    value->lVal = state->values[index];
    return S_OK;
  }
  HRESULT put_Value(VARIANT value) override {
    if (FAILED(state->failPutValue) &&
        (state->failPutValueAt == 0 || state->failPutValueAt == int(index) + 1))
      return state->failPutValue;
    com::Variant v(value);
    if (FAILED(v.ChangeType(VT_I4))) return DISP_E_TYPEMISMATCH;
    state->values[index] = v.lVal;
    ++state->parameterPuts;
    return S_OK;
  }
  FakeDeviceState* state = nullptr;
  size_t index = 0;
};

class FakeParameters : public IDeviceParameters, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDeviceParameters;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDeviceParameters>(this, iid, ppv);
  }
  HRESULT get_Count(LONG* count) override {
    *count = LONG(state->displayOrders.size());
    return S_OK;
  }
  HRESULT get_Item(VARIANT index, IDeviceParameter** item) override {
    com::Variant i(index);
    if (FAILED(i.ChangeType(VT_I4)) || i.lVal < 1 || size_t(i.lVal) > state->displayOrders.size())
      return E_INVALIDARG;
    com::ComPtr<IDeviceParameter> p;
    HRESULT hr = com::CreateInstance<FakeParameter>(nullptr, nullptr, IDeviceParameter::iid, p.PpvSlot());
    if (FAILED(hr)) return hr;
    auto* impl = static_cast<FakeParameter*>(p.Get());
    impl->state = state;
    impl->index = size_t(i.lVal - 1);
    *item = p.Detach();
    return S_OK;
  }
  FakeDeviceState* state = nullptr;
};

class FakeDevice : public IDevice, public IDeviceExtData, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDevice;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    if (state && state->noExtData) return com::QueryInterfaceOf<IDevice>(this, iid, ppv);
    return com::QueryInterfaceOf<IDevice, IDeviceExtData>(this, iid, ppv);
  }
  HRESULT get_Name(BSTR* name) override {
    if (FAILED(state->failGetName)) return state->failGetName;
    *name = SysAllocString(u"Fake display");
    return S_OK;
  }
  HRESULT get_Address(VARIANT* address) override {
    VariantInit(address);
    address->vt = VT_NULL;
    return S_OK;
  }
  HRESULT get_Line(ILine** line) override {
    *line = nullptr;
    return S_OK;
  }
  HRESULT get_ApplicationProgram(IApplicationProgram** program) override {
    *program = nullptr;
    return E_NOTIMPL;
  }
  HRESULT get_DeviceParameters(IDeviceParameters** parameters) override {
    com::ComPtr<IDeviceParameters> p;
    HRESULT hr = com::CreateInstance<FakeParameters>(nullptr, nullptr, IDeviceParameters::iid, p.PpvSlot());
    if (FAILED(hr)) return hr;
    static_cast<FakeParameters*>(p.Get())->state = state;
    *parameters = p.Detach();
    return S_OK;
  }
  HRESULT put_ParametersLoaded(LONG loaded) override {
    if (FAILED(state->failParametersLoaded)) return state->failParametersLoaded;
    state->parametersLoaded = loaded;
    return S_OK;
  }
  HRESULT get_ParametersLoaded(LONG* loaded) override {
    *loaded = state->parametersLoaded;
    return S_OK;
  }
  HRESULT get_VisibleDeviceCommunicationObjects(IDeviceCommunicationObjects** objects) override {
    *objects = nullptr;
    return E_NOTIMPL;
  }
  HRESULT get_Project(IProject** project) override {
    *project = nullptr;
    return E_NOTIMPL;
  }
  HRESULT get_ProductName(BSTR* t) override { return Text(t); }
  HRESULT get_ManufacturerName(BSTR* t) override { return Text(t); }
  HRESULT get_OrderNumber(BSTR* t) override { return Text(t); }
  HRESULT get_DeviceDescription(BSTR* t) override { return Text(t); }
  HRESULT get_ProgramName(BSTR* t) override { return Text(t); }

  HRESULT ReadExtData(BSTR key, VARIANT* value) override {
    if (state->onReadExtData) state->onReadExtData();
    if (FAILED(state->failReadExtData)) return state->failReadExtData;
    VariantInit(value);
    auto it = state->extData.find(key);
    if (it == state->extData.end()) {
      value->vt = VT_NULL;
      return S_OK;
    }
    return VariantCopy(value, &it->second);
  }
  HRESULT WriteExtData(BSTR key, VARIANT value) override {
    if (FAILED(state->failWriteExtData)) return state->failWriteExtData;
    state->extData[key] = com::Variant(value);
    ++state->extWrites;
    return S_OK;
  }
  FakeDeviceState* state = nullptr;

 private:
  static HRESULT Text(BSTR* t) {
    *t = SysAllocString(u"");
    return S_OK;
  }
};

}  // namespace

com::ComPtr<IDevice> MakeFakeDevice(FakeDeviceState* state) {
  com::ComPtr<IDevice> d;
  if (FAILED(com::CreateInstance<FakeDevice>(nullptr, nullptr, IDevice::iid, d.PpvSlot()))) return d;
  static_cast<FakeDevice*>(d.Get())->state = state;
  return d;
}

FakeDeviceState Dx47xState() {
  FakeDeviceState s;
  for (int i = 1; i <= 33; ++i) {
    s.displayOrders.push_back(i);
    s.values.push_back(0);
  }
  return s;
}

}  // namespace testsupport
