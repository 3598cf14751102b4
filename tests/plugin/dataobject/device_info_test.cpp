// Descriptive texts of the device.
#include "base/strings.h"
#include "data/dx470data.h"
#include "fake_device.h"
#include "plugin_project_fixture.h"

namespace {

using DeviceInfo = testsupport::ProjectFixture;

TEST_F(DeviceInfo, TextsOfAProjectDevice) {
  project.SetName(deviceId, "Hall display");
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  std::string text;
  EXPECT_EQ(data.EtsGetDeviceName(text), S_OK);
  EXPECT_EQ(text, "Hall display");
  EXPECT_EQ(data.EtsGetPhysicalAddress(text), S_OK);
  EXPECT_EQ(text, "1.1.5");
  host::DeviceData d = project.DataOf(deviceId);
  EXPECT_EQ(data.EtsApplicationVersion(text), S_OK);
  EXPECT_EQ(text, base::Format("%.2x", unsigned(d.programVersion)));
  EXPECT_EQ(data.EtsApplicationDeviceType(text), S_OK);
  EXPECT_EQ(text, base::Format("%X", unsigned(d.deviceType)));
}

TEST(DeviceInfoHost, MissingPartsAndFailures) {
  auto state = testsupport::Dx47xState();
  auto device = testsupport::MakeFakeDevice(&state);
  CDX470Data data;
  std::string text;
  EXPECT_EQ(data.EtsGetDeviceName(text), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(text, "Device Name not vaild");
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  EXPECT_EQ(data.EtsGetPhysicalAddress(text), S_OK);  // the fake has no address
  EXPECT_EQ(text, "-.-.-");
  state.failGetName = E_ACCESSDENIED;
  EXPECT_EQ(data.EtsGetDeviceName(text), E_ACCESSDENIED);
  EXPECT_EQ(text, "Device Name not vaild");
  EXPECT_EQ(data.EtsApplicationVersion(text), E_NOTIMPL);
  EXPECT_EQ(text, "Version not vaild");
  EXPECT_EQ(data.EtsApplicationDeviceType(text), E_NOTIMPL);
  EXPECT_EQ(text, "Device Type not vaild");
}

}  // namespace
