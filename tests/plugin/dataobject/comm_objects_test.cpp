// Communication objects, their group addresses and the printed header, read
// through the data object from a real project device.
#include "data/dx470data.h"
#include "fake_device.h"
#include "plugin_project_fixture.h"

namespace {

class CommObjects : public testsupport::ProjectFixture {
 protected:
  CommObjects() { EXPECT_EQ(data.EtsInit(device.Get()), S_OK); }

  void AddGroup(const char* text, const char* name) {
    uint16_t ga = 0;
    ASSERT_TRUE(host::ParseGroupAddress(text, &ga));
    project.AddGroupAddress(ga, name);
    project.Link(deviceId, 3, ga);
  }
  bool Traced(const std::string& text) const { return Trace().find(text) != std::string::npos; }

  CDX470Data data;
  std::string name = "x", function = "x", numbers = "x", addresses = "x";
};

TEST_F(CommObjects, VisibleObjectsAreFoundAndHiddenOnesAreNot) {
  com::ComPtr<IDeviceCommunicationObject> object;
  LONG count = 0;
  ASSERT_EQ(data.SearchDeviceCommunicationObject(34, &object, &count), S_OK);
  EXPECT_EQ(count, 35);
  LONG number = -1;
  ASSERT_EQ(object->get_CommunicationObjectNumber(&number), S_OK);
  EXPECT_EQ(number, 34);

  project.SetCommObjectVisible(deviceId, 5, false);
  ForgetTrace();
  EXPECT_EQ(data.SearchDeviceCommunicationObject(5, &object, &count), MakeHResult(0x80070003));
  EXPECT_FALSE(object);
  EXPECT_EQ(count, 34);
  EXPECT_TRUE(
      Traced("SearchDeviceCommunicationObject: Das Objekt Nr.: 5 wurde nicht gefunden "
             "(unsichtbar?)!"))
      << Trace();
  EXPECT_EQ(data.SearchDeviceCommunicationObject(99, nullptr, nullptr), MakeHResult(0x80070003));

  // The texts of a hidden object are not given either.
  ForgetTrace();
  EXPECT_EQ(data.EtsGetGAsToObject(5, name, function, numbers, addresses), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(name + function + numbers + addresses, "");
  EXPECT_TRUE(Traced("Die Funktion 'SearchDeviceCommunicationObject' ist leider fehlgeschlagen")) << Trace();
  project.SetCommObjectVisible(deviceId, 5, true);
  EXPECT_EQ(data.SearchDeviceCommunicationObject(5, nullptr, nullptr), S_OK);
}

TEST_F(CommObjects, NumbersAreComparedAs16BitValues) {
  host::DeviceTemplate product = host::Dx47xDeviceTemplate();
  product.objects = {{65536 + 7, "Wide", "Switch", true}};
  host::PhysicalAddress a;
  ASSERT_TRUE(host::ParsePhysicalAddress("1.1.6", &a));
  CDX470Data wide;
  ASSERT_EQ(wide.EtsInit(DeviceObject(project.AddDevice(a, product)).Get()), S_OK);
  EXPECT_EQ(wide.EtsGetGAsToObject(7, name, function, numbers, addresses), S_OK);
  EXPECT_EQ(name, "Wide");
}

TEST_F(CommObjects, AnObjectWithoutAssociationsHasEmptyAddressTexts) {
  EXPECT_EQ(data.EtsGetGAsToObject(0, name, function, numbers, addresses), S_OK);
  EXPECT_EQ(name, "Backlight");
  EXPECT_EQ(function, "Switch");
  EXPECT_EQ(numbers, "");
  EXPECT_EQ(addresses, "");
}

TEST_F(CommObjects, AssociationsComeInTheHostsOrder) {
  AddGroup("1/2/3", "Light");
  AddGroup("0/0/1", "First");
  AddGroup("31/7/255", "Last");
  ASSERT_EQ(data.EtsGetGAsToObject(3, name, function, numbers, addresses), S_OK);
  EXPECT_EQ(name, "Receive message 3");
  EXPECT_EQ(function, "Receive value");
  EXPECT_EQ(numbers, "2563 1 65535 ");
  EXPECT_EQ(addresses, "1/2/3; 0/0/1; 31/7/255; ");
  // Another object keeps its own (empty) list.
  EXPECT_EQ(data.EtsGetGAsToObject(4, name, function, numbers, addresses), S_OK);
  EXPECT_EQ(numbers + addresses, "");
}

TEST_F(CommObjects, HeaderTextsAsThePrintingPassesThem) {
  host::DeviceDataChange change;
  change.productName = "Text display 4";
  change.manufacturerName = "Vornak";
  change.orderNumber = "DX-471";
  change.description = "Lobby, left";
  change.programName = "Display program 2.1";
  project.SetDeviceData(deviceId, change);
  std::string projectText = "Device info", product = "old", description = "old";
  std::string address = "Physical address";
  ASSERT_EQ(data.EtsGetHeaderDataForPrinting(projectText, product, description, address, "Appl. program:"),
            S_OK);
  EXPECT_EQ(projectText, "Device info    Test project");
  EXPECT_EQ(product, "Text display 4 / Vornak / DX-471");
  EXPECT_EQ(description, "Lobby, left");
  EXPECT_EQ(address, "Physical address: 1.1.5 / Appl. program: Display program 2.1");
}

TEST_F(CommObjects, TheDefaultsOfANewDeviceFillTheHeader) {
  host::DeviceData d = project.DataOf(deviceId);
  std::string projectText, product, description, address;
  ASSERT_EQ(data.EtsGetHeaderDataForPrinting(projectText, product, description, address, "P:"), S_OK);
  EXPECT_EQ(product, d.productName + " / " + d.manufacturerName + " / " + d.orderNumber);
  EXPECT_EQ(description, d.description);
  EXPECT_EQ(address, ": 1.1.5 / P: " + d.programName);
  EXPECT_FALSE(d.productName.empty() || d.manufacturerName.empty() || d.orderNumber.empty() ||
               d.description.empty() || d.programName.empty());
}

TEST_F(CommObjects, AnUnboundObjectRefusesEveryCall) {
  CDX470Data unbound;
  ForgetTrace();
  EXPECT_EQ(unbound.SearchDeviceCommunicationObject(1, nullptr, nullptr), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(unbound.EtsGetGAsToObject(1, name, function, numbers, addresses), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(name + function + numbers + addresses, "");
  std::string p = "Device info", product, description, address = "Physical address";
  EXPECT_EQ(unbound.EtsGetHeaderDataForPrinting(p, product, description, address, "L"),
            STG_E_INVALIDPARAMETER);
  EXPECT_EQ(p, "Device info");
  EXPECT_EQ(address, "Physical address");
  std::string trace = Trace();
  size_t hits = 0;
  for (size_t at = trace.find("VERIFY or ASSERT"); at != std::string::npos;
       at = trace.find("VERIFY or ASSERT", at + 1))
    ++hits;
  EXPECT_EQ(hits, 3u) << trace;
}

TEST_F(CommObjects, HostFailuresAreTracedWithTheCallAndReturned) {
  auto state = testsupport::Dx47xState();
  auto fake = testsupport::MakeFakeDevice(&state);  // answers E_NOTIMPL for both
  CDX470Data onFake;
  ASSERT_EQ(onFake.EtsInit(fake.Get()), S_OK);
  ForgetTrace();
  EXPECT_EQ(onFake.SearchDeviceCommunicationObject(1, nullptr, nullptr), E_NOTIMPL);
  EXPECT_TRUE(
      Traced("Die Funktion 'm_spDevice->get_VisibleDeviceCommunicationObjects' ist "
             "leider fehlgeschlagen"))
      << Trace();
  std::string p = "Device info", product = "kept", description, address;
  EXPECT_EQ(onFake.EtsGetHeaderDataForPrinting(p, product, description, address, "L"), E_NOTIMPL);
  EXPECT_TRUE(Traced("Die Funktion 'get_Project' ist leider fehlgeschlagen")) << Trace();
  EXPECT_EQ(p, "Device info");
  EXPECT_EQ(product, "kept");
}

}  // namespace
