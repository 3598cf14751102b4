// Mirroring the message types into the host parameters, and the
// parameters-loaded flag.
#include "com/variant.h"
#include "data/dx470data.h"
#include "fake_device.h"
#include "plugin_project_fixture.h"

namespace {

using Mirroring = testsupport::ProjectFixture;

std::vector<int32_t> ParameterValues(IDevice* device) {
  std::vector<int32_t> values;
  com::ComPtr<IDeviceParameters> params;
  EXPECT_EQ(device->get_DeviceParameters(&params), S_OK);
  LONG count = 0;
  params->get_Count(&count);
  for (LONG i = 1; i <= count; ++i) {
    com::ComPtr<IDeviceParameter> p;
    EXPECT_EQ(params->get_Item(com::Variant(int32_t(i)), &p), S_OK);
    com::Variant v;
    p->get_Value(&v);
    v.ChangeType(VT_I4);
    values.push_back(v.lVal);
  }
  return values;
}

TEST_F(Mirroring, SaveWritesTypesByDisplayOrderAndClearsTheLoadedFlag) {
  ASSERT_EQ(device->put_ParametersLoaded(1), S_OK);
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  data.Param().MessageKind[0] = 3;
  data.Param().MessageKind[15] = 12;
  data.Param().MessageType[2] = 9;
  ASSERT_EQ(data.WriteBlobAndEtsParameter(), S_OK);

  std::vector<int32_t> values = ParameterValues(device.Get());
  ASSERT_EQ(values.size(), 33u);
  EXPECT_EQ(values[0], 3);
  EXPECT_EQ(values[15], 12);
  EXPECT_EQ(values[16 + 2], 9);
  EXPECT_EQ(values[32], 0);
  LONG loaded = -1;
  device->get_ParametersLoaded(&loaded);
  EXPECT_EQ(loaded, 0);  // the configuration differs from the downloaded one
  EXPECT_NE(Trace().find("Displayorder 1 - Value 3 "), std::string::npos);
  EXPECT_NE(Trace().find("Parameter und Blob erfolgreich geschrieben"), std::string::npos);

  CDX470Data reread;
  ASSERT_EQ(reread.EtsInit(device.Get()), S_OK);
  ASSERT_EQ(reread.DataInit(), S_OK);
  EXPECT_EQ(reread.Param().MessageKind[15], 12);
}

TEST_F(Mirroring, ConfigurationEqualToTheDownloadLeavesTheFlag) {
  ASSERT_EQ(device->put_ParametersLoaded(1), S_OK);
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  data.Blob().Downloaded = data.Blob().Current;
  ASSERT_EQ(data.WriteBlobAndEtsParameter(), S_OK);
  LONG loaded = -1;
  device->get_ParametersLoaded(&loaded);
  EXPECT_EQ(loaded, 1);
}

TEST(MirroringHost, SecondSaveWithoutChangesWritesOnlyTheBlob) {
  auto state = testsupport::Dx47xState();
  state.values[32] = 5;  // parameter 33 is always brought back to 0
  auto device = testsupport::MakeFakeDevice(&state);
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  data.Param().MessageKind[1] = 2;
  ASSERT_EQ(data.WriteBlobAndEtsParameter(), S_OK);
  EXPECT_EQ(state.parameterPuts, 2);  // slot 1's type and parameter 33
  EXPECT_EQ(state.values[32], 0);
  EXPECT_EQ(state.extWrites, 1);
  ASSERT_EQ(data.WriteBlobAndEtsParameter(), S_OK);
  EXPECT_EQ(state.parameterPuts, 2);
  EXPECT_EQ(state.extWrites, 2);
}

TEST(MirroringHost, WrongParameterCountWritesNothing) {
  auto state = testsupport::Dx47xState();
  state.displayOrders.pop_back();
  state.values.pop_back();
  auto device = testsupport::MakeFakeDevice(&state);
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  data.Param().MessageKind[0] = 1;
  EXPECT_EQ(data.WriteBlobAndEtsParameter(), MakeHResult(0x80070567));
  EXPECT_EQ(state.parameterPuts, 0);
  EXPECT_EQ(state.extWrites, 0);
}

TEST(MirroringHost, DisplayOrderBeyondTheCountEndsTheLoopWithSuccess) {
  auto state = testsupport::Dx47xState();
  state.displayOrders[4] = 40;  // the fifth parameter in the collection
  auto device = testsupport::MakeFakeDevice(&state);
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  for (int i = 0; i < 16; ++i) data.Param().MessageKind[i] = 1;
  EXPECT_EQ(data.EtsWriteParameter(std::vector<uint8_t>(33, 1).data(), 33, false), S_OK);
  EXPECT_EQ(state.parameterPuts, 4);  // only the parameters before it
  EXPECT_EQ(state.values[5], 0);
}

TEST(MirroringHost, FailedPutStopsBeforeTheBlob) {
  auto state = testsupport::Dx47xState();
  state.failPutValue = E_ACCESSDENIED;
  state.failPutValueAt = 3;
  auto device = testsupport::MakeFakeDevice(&state);
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  for (int i = 0; i < 16; ++i) data.Param().MessageKind[i] = 2;
  EXPECT_EQ(data.WriteBlobAndEtsParameter(), E_ACCESSDENIED);
  EXPECT_EQ(state.parameterPuts, 2);  // what was written stays written
  EXPECT_EQ(state.extWrites, 0);
}

TEST(MirroringHost, FlagFailureIsOnlyTraced) {
  auto state = testsupport::Dx47xState();
  state.failParametersLoaded = E_FAIL;
  auto device = testsupport::MakeFakeDevice(&state);
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  data.Param().MessageKind[0] = 1;
  EXPECT_EQ(data.WriteBlobAndEtsParameter(), S_OK);
  EXPECT_EQ(state.extWrites, 1);
  EXPECT_EQ(data.EtsSet_FlagParmetersLoaded(1), E_FAIL);
  CDX470Data unbound;
  EXPECT_EQ(unbound.EtsSet_FlagParmetersLoaded(1), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(unbound.EtsWriteParameter(std::vector<uint8_t>(33).data(), 33, false), STG_E_INVALIDPARAMETER);
}

}  // namespace
