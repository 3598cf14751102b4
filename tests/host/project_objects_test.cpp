// The object model over a project: descriptive data, parameters,
// communication objects, associations and group addresses.
#include "hostapi/dx47x_blob.h"
#include "project_fixture.h"

namespace projecttest {
namespace {

std::string Text(HRESULT (IDevice::*get)(BSTR*), IDevice* d) {
  com::Bstr b;
  EXPECT_EQ((d->*get)(&b), S_OK);
  return b.ToUtf8();
}

TEST_F(ProjectTest, DeviceAnswersItsDescriptiveDataProgramAndProject) {
  com::ComPtr<IDevice> d = Device(Add("1.1.5"));
  host::DeviceData expected = host::Dx47xDeviceTemplate().data;
  EXPECT_EQ(Text(&IDevice::get_Name, d.Get()), expected.name);
  EXPECT_EQ(Text(&IDevice::get_ProductName, d.Get()), expected.productName);
  EXPECT_EQ(Text(&IDevice::get_ManufacturerName, d.Get()), expected.manufacturerName);
  EXPECT_EQ(Text(&IDevice::get_OrderNumber, d.Get()), expected.orderNumber);
  EXPECT_EQ(Text(&IDevice::get_DeviceDescription, d.Get()), expected.description);
  EXPECT_EQ(Text(&IDevice::get_ProgramName, d.Get()), expected.programName);

  com::ComPtr<IApplicationProgram> program;
  ASSERT_EQ(d->get_ApplicationProgram(&program), S_OK);
  SHORT version = 0;
  LONG type = 0;
  ASSERT_EQ(program->get_Version(&version), S_OK);
  ASSERT_EQ(program->get_DeviceType(&type), S_OK);
  EXPECT_EQ(uint16_t(version), expected.programVersion);
  EXPECT_EQ(type, expected.deviceType);

  com::ComPtr<IProject> p;
  ASSERT_EQ(d->get_Project(&p), S_OK);
  com::Bstr name;
  ASSERT_EQ(p->get_Name(&name), S_OK);
  EXPECT_EQ(name.ToUtf8(), "Test project");

  LONG loaded = -1;
  ASSERT_EQ(d->get_ParametersLoaded(&loaded), S_OK);
  EXPECT_EQ(loaded, 0);
  ASSERT_EQ(d->put_ParametersLoaded(1), S_OK);
  ASSERT_EQ(d->get_ParametersLoaded(&loaded), S_OK);
  EXPECT_EQ(loaded, 1);
  ASSERT_EQ(d->put_ParametersLoaded(0), S_OK);
  ASSERT_EQ(d->get_ParametersLoaded(&loaded), S_OK);
  EXPECT_EQ(loaded, 0);
}

TEST_F(ProjectTest, ParametersHaveDisplayOrdersAndKeepTheValuePut) {
  com::ComPtr<IDeviceParameters> params;
  ASSERT_EQ(Device(Add("1.1.5"))->get_DeviceParameters(&params), S_OK);
  LONG count = 0;
  ASSERT_EQ(params->get_Count(&count), S_OK);
  ASSERT_EQ(count, 33);
  for (int32_t i = 1; i <= count; ++i) {
    com::ComPtr<IDeviceParameter> p;
    ASSERT_EQ(params->get_Item(com::Variant(i), &p), S_OK);
    com::ComPtr<IParameter> def;
    ASSERT_EQ(p->get_Parameter(&def), S_OK);
    LONG order = 0;
    ASSERT_EQ(def->get_DisplayOrder(&order), S_OK);
    EXPECT_EQ(order, i);
    com::Variant v;
    ASSERT_EQ(p->get_Value(&v), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 0);
  }

  // Index types and range.
  com::ComPtr<IDeviceParameter> p;
  EXPECT_EQ(params->get_Item(com::Variant(int16_t(33)), &p), S_OK);
  EXPECT_EQ(params->get_Item(com::Variant(uint8_t(2)), &p), S_OK);
  EXPECT_EQ(params->get_Item(com::Variant(int32_t(0)), &p), E_INVALIDARG);
  EXPECT_EQ(params->get_Item(com::Variant(int32_t(34)), &p), E_INVALIDARG);
  EXPECT_EQ(params->get_Item(com::Variant(u"1"), &p), E_INVALIDARG);
  EXPECT_FALSE(p);

  // A value put is what get_Value returns, whatever its type.
  ASSERT_EQ(params->get_Item(com::Variant(int32_t(17)), &p), S_OK);
  ASSERT_EQ(p->put_Value(com::Variant(int32_t(12))), S_OK);
  com::Variant v;
  ASSERT_EQ(p->get_Value(&v), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 12);
  ASSERT_EQ(p->put_Value(com::Variant(uint8_t(200))), S_OK);
  ASSERT_EQ(p->get_Value(&v), S_OK);
  EXPECT_EQ(v.vt, VT_UI1);
  EXPECT_EQ(v.bVal, 200);
  EXPECT_EQ(p->put_Value(com::Variant(static_cast<IUnknown*>(p.Get()))), DISP_E_BADVARTYPE);
  ASSERT_EQ(p->get_Value(&v), S_OK);
  EXPECT_EQ(v.bVal, 200);
}

TEST_F(ProjectTest, VisibleObjectsAreListedByNumber) {
  int64_t id = Add("1.1.5");
  project.SetCommObjectVisible(id, 0, false);
  project.SetCommObjectVisible(id, 20, false);
  com::ComPtr<IDeviceCommunicationObjects> objects;
  ASSERT_EQ(Device(id)->get_VisibleDeviceCommunicationObjects(&objects), S_OK);
  LONG count = 0;
  ASSERT_EQ(objects->get_Count(&count), S_OK);
  ASSERT_EQ(count, 33);
  std::vector<LONG> numbers;
  for (int32_t i = 1; i <= count; ++i) {
    com::ComPtr<IDeviceCommunicationObject> o;
    ASSERT_EQ(objects->get_Item(com::Variant(i), &o), S_OK);
    LONG n = -1;
    ASSERT_EQ(o->get_CommunicationObjectNumber(&n), S_OK);
    numbers.push_back(n);
    if (n == 1 || n == 33) {
      com::Bstr name, function;
      ASSERT_EQ(o->get_Name(&name), S_OK);
      ASSERT_EQ(o->get_CommunicationObjectFunction(&function), S_OK);
      EXPECT_EQ(name.ToUtf8(), n == 1 ? "Receive message 1" : "Alarm state");
      EXPECT_FALSE(function.Empty());
    }
  }
  std::vector<LONG> expected;
  for (LONG n = 1; n <= 34; ++n)
    if (n != 20) expected.push_back(n);
  EXPECT_EQ(numbers, expected);
  com::ComPtr<IDeviceCommunicationObject> o;
  EXPECT_EQ(objects->get_Item(com::Variant(int32_t(34)), &o), E_INVALIDARG);
}

TEST_F(ProjectTest, AssociationsComeInTheOrderLinkedAndFormatTheirAddresses) {
  int64_t id = Add("1.1.5");
  uint16_t gas[3];
  ASSERT_TRUE(host::ParseGroupAddress("1/2/3", &gas[0]));
  ASSERT_TRUE(host::ParseGroupAddress("0/0/7", &gas[1]));
  ASSERT_TRUE(host::ParseGroupAddress("31/7/255", &gas[2]));
  for (uint16_t ga : gas) project.AddGroupAddress(ga, "GA " + host::GroupAddressText(ga));
  for (uint16_t ga : gas) project.Link(id, 5, ga);

  auto code = [&](auto f) {
    try {
      f();
    } catch (const host::ProjectError& e) {
      return e.Code();
    }
    return S_OK;
  };
  EXPECT_EQ(code([&] { project.Link(id, 5, gas[0]); }), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(code([&] { project.Link(id, 35, gas[0]); }), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
  EXPECT_EQ(code([&] { project.Link(id, 5, 0x0001); }), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
  EXPECT_EQ(code([&] { project.AddGroupAddress(gas[0], "again"); }),
            HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));

  com::ComPtr<IDeviceCommunicationObjects> objects;
  ASSERT_EQ(Device(id)->get_VisibleDeviceCommunicationObjects(&objects), S_OK);
  com::ComPtr<IDeviceCommunicationObject> o;
  ASSERT_EQ(objects->get_Item(com::Variant(int32_t(6)), &o), S_OK);  // object 5
  com::ComPtr<IAssociations> assocs;
  ASSERT_EQ(o->get_Associations(&assocs), S_OK);
  LONG count = 0;
  ASSERT_EQ(assocs->get_Count(&count), S_OK);
  ASSERT_EQ(count, 3);
  const char* texts[] = {"1/2/3", "0/0/7", "31/7/255"};
  for (int32_t i = 1; i <= 3; ++i) {
    com::ComPtr<IAssociation> a;
    ASSERT_EQ(assocs->get_Item(com::Variant(i), &a), S_OK);
    com::ComPtr<IGroupAddress> ga;
    ASSERT_EQ(a->get_GroupAddress(&ga), S_OK);
    LONG value = 0;
    ASSERT_EQ(ga->get_GroupAddress(&value), S_OK);
    EXPECT_EQ(value, gas[i - 1]);
    com::Bstr format(u"$(GroupAddress,eteC.GroupAddress)"), text;
    ASSERT_EQ(ga->Format(format.Get(), &text), S_OK);
    EXPECT_EQ(text.ToUtf8(), texts[i - 1]);
  }

  // Other format texts.
  com::ComPtr<IGroupAddress> ga;
  ASSERT_EQ(host::MakeGroupAddressObject(project, gas[0], &ga), S_OK);
  com::Bstr text;
  com::Bstr mixed(u"[$(Name)] $(Number) $(GroupAddress)");
  ASSERT_EQ(ga->Format(mixed.Get(), &text), S_OK);
  EXPECT_EQ(text.ToUtf8(), "[GA 1/2/3] 2563 1/2/3");
  ASSERT_EQ(ga->Format(nullptr, &text), S_OK);
  EXPECT_EQ(text.ToUtf8(), "1/2/3");
  com::Bstr bad(u"$(Colour)"), open(u"$(GroupAddress");
  EXPECT_EQ(ga->Format(bad.Get(), &text), E_INVALIDARG);
  EXPECT_EQ(ga->Format(open.Get(), &text), E_INVALIDARG);

  // Another object has no associations.
  ASSERT_EQ(objects->get_Item(com::Variant(int32_t(1)), &o), S_OK);
  ASSERT_EQ(o->get_Associations(&assocs), S_OK);
  ASSERT_EQ(assocs->get_Count(&count), S_OK);
  EXPECT_EQ(count, 0);
}

TEST_F(ProjectTest, ACopyTakesDataAndParameterValuesButNoExtensionData) {
  int64_t source = Add("1.1.5");
  project.SetName(source, "Hall");
  com::ComPtr<IDeviceParameters> params;
  ASSERT_EQ(Device(source)->get_DeviceParameters(&params), S_OK);
  com::ComPtr<IDeviceParameter> p;
  ASSERT_EQ(params->get_Item(com::Variant(int32_t(3)), &p), S_OK);
  ASSERT_EQ(p->put_Value(com::Variant(int32_t(7))), S_OK);
  ASSERT_EQ(WriteExt(ExtData(source).Get(), dx47x::blob::kKeyWide, ByteArray(10, 0)), S_OK);

  int64_t copy = project.CopyDevice(Addr("1.1.6"), source);
  int64_t named = project.CopyDevice(Addr("1.1.7"), source, std::string("Stairs"));
  EXPECT_EQ(project.DataOf(copy).name, "Hall");
  EXPECT_EQ(project.DataOf(named).name, "Stairs");
  EXPECT_EQ(project.DataOf(copy).orderNumber, project.DataOf(source).orderNumber);
  ASSERT_EQ(Device(copy)->get_DeviceParameters(&params), S_OK);
  ASSERT_EQ(params->get_Item(com::Variant(int32_t(3)), &p), S_OK);
  com::Variant v;
  ASSERT_EQ(p->get_Value(&v), S_OK);
  EXPECT_EQ(v.lVal, 7);
  EXPECT_EQ(project.CommObjects(copy, false).size(), 35u);
  EXPECT_EQ(ReadExt(ExtData(copy).Get(), dx47x::blob::kKeyWide).vt, VT_NULL);
}

}  // namespace
}  // namespace projecttest
