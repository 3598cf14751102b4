// Reading and writing the BLOB as extension data of a device in a real project.
#include <cstring>
#include <memory>

#include "com/safearray.h"
#include "data/dx470data.h"
#include "fake_device.h"
#include "plugin_project_fixture.h"

namespace {

using dx470::TYPE_DX470_BLOB_COMPLETE;
using Storage = testsupport::ProjectFixture;

constexpr size_t kBlobSize = sizeof(TYPE_DX470_BLOB_COMPLETE);

TEST_F(Storage, WriteThenReadGivesTheSameBytes) {
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  auto blob = std::make_unique<TYPE_DX470_BLOB_COMPLETE>(data.Blob());
  blob->Current.MessageKind[3] = 7;
  blob->Downloaded.Lcd.General.Bytes[2] = 99;
  ASSERT_EQ(data.EtsWriteBlob(blob.get()), S_OK);

  // A fresh object on a fresh device object reads what was stored.
  CDX470Data reader;
  ASSERT_EQ(reader.EtsInit(DeviceObject(deviceId).Get()), S_OK);
  ASSERT_EQ(reader.DataInit(), S_OK);
  EXPECT_EQ(std::memcmp(&reader.Blob(), blob.get(), kBlobSize), 0);
  std::string trace = Trace();
  EXPECT_NE(trace.find("TYPE_DX470_BLOB_COMPLETE=112292 PARAM=56139 LCD_BLOB=56103 "
                       "BLOCKINFORMATIONEN=20 ALLGEMEINE=15 MELDUNGSPEZIFISCHE_PARAMETER=236 "
                       "ZEICHENSATZ=26146"),
            std::string::npos);
  EXPECT_NE(trace.find("Successfully stored BLOB data"), std::string::npos);
  EXPECT_NE(trace.find("Parameter und Blob erfolgreich gelesen"), std::string::npos);
}

// Each rejected value leaves the target exactly as it was.
struct Rejection {
  const char* what;
  size_t length;
  uint32_t version;
  HRESULT expected;
  const char* message;
};

TEST_F(Storage, RejectsWrongLengthVersionAndShape) {
  const Rejection cases[] = {
      {"one byte short", kBlobSize - 1, 0x00010000, E_UNEXPECTED,
       "Ungültige BLOBlänge (gelesen 112291; erwartet 112292)"},
      {"one byte long", kBlobSize + 1, 0x00010000, E_UNEXPECTED,
       "Ungültige BLOBlänge (gelesen 112293; erwartet 112292)"},
      {"next version", kBlobSize, 0x00010001, MakeHResult(0x80090007),
       "Ungültige BLOB Version (gelesen 00010001; erwartet 00010000)"},
  };
  for (const Rejection& c : cases) {
    SCOPED_TRACE(c.what);
    StoreExtData(device.Get(), ByteArray(c.length, c.version));
    CDX470Data data;
    ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
    auto before = std::make_unique<TYPE_DX470_BLOB_COMPLETE>(data.Blob());
    ForgetTrace();
    EXPECT_EQ(data.DataInit(), c.expected);
    EXPECT_EQ(std::memcmp(&data.Blob(), before.get(), kBlobSize), 0);
    EXPECT_NE(Trace().find(c.message), std::string::npos) << Trace();
    EXPECT_NE(Trace().find("'EtsReadBlob' mit Fehler"), std::string::npos);
  }
}

TEST_F(Storage, RejectsTwoDimensionsAndOtherTypes) {
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {kBlobSize / 2, 0}};
  com::Variant twoDims;
  twoDims.vt = VT_ARRAY | VT_UI1;
  twoDims.parray = SafeArrayCreate(VT_UI1, 2, bounds);
  StoreExtData(device.Get(), twoDims);
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  auto target = std::make_unique<TYPE_DX470_BLOB_COMPLETE>();
  EXPECT_EQ(data.EtsReadBlob(target.get()), E_UNEXPECTED);
  EXPECT_NE(Trace().find("Unexpected cDims 2"), std::string::npos);

  StoreExtData(device.Get(), com::Variant(int32_t(5)));
  EXPECT_EQ(data.EtsReadBlob(target.get()), E_UNEXPECTED);
  EXPECT_NE(Trace().find("Unexpected variant type 00000003"), std::string::npos);
}

TEST_F(Storage, DeviceWithoutBlob) {
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  auto target = std::make_unique<TYPE_DX470_BLOB_COMPLETE>();
  EXPECT_EQ(data.EtsReadBlob(target.get()), MakeHResult(0x80070567));
  EXPECT_NE(Trace().find("no Blob"), std::string::npos);
}

TEST_F(Storage, PreconditionsAndBinding) {
  CDX470Data data;
  auto target = std::make_unique<TYPE_DX470_BLOB_COMPLETE>();
  EXPECT_EQ(data.EtsReadBlob(target.get()), STG_E_INVALIDPARAMETER);  // not bound
  EXPECT_EQ(data.EtsWriteBlob(target.get()), STG_E_INVALIDPARAMETER);
  EXPECT_NE(Trace().find("VERIFY or ASSERT "), std::string::npos);
  EXPECT_EQ(data.EtsInit(nullptr), E_POINTER);
  // Something that is not a host device.
  testsupport::FakeDeviceState state = testsupport::Dx47xState();
  com::ComPtr<IDeviceParameters> notADevice;
  ASSERT_EQ(testsupport::MakeFakeDevice(&state)->get_DeviceParameters(&notADevice), S_OK);
  EXPECT_EQ(data.EtsInit(notADevice.Get()), E_NOINTERFACE);
  EXPECT_NE(Trace().find("Failed to get IDevice interface [0x80004002]"), std::string::npos);
  // A device without extension data.
  state.noExtData = true;
  EXPECT_EQ(data.EtsInit(testsupport::MakeFakeDevice(&state).Get()), E_NOINTERFACE);
  EXPECT_NE(Trace().find("Failed to get IDeviceExtData interface"), std::string::npos);
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  EXPECT_EQ(data.EtsReadBlob(nullptr), STG_E_INVALIDPARAMETER);
}

TEST(StorageHostFailure, FailedWriteKeepsTheStoredValue) {
  testsupport::FakeDeviceState state = testsupport::Dx47xState();
  auto device = testsupport::MakeFakeDevice(&state);
  CDX470Data data;
  ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
  ASSERT_EQ(data.EtsWriteBlob(&data.Blob()), S_OK);
  auto changed = std::make_unique<TYPE_DX470_BLOB_COMPLETE>(data.Blob());
  changed->Current.MessageKind[0] = 1;
  state.failWriteExtData = E_ACCESSDENIED;
  EXPECT_EQ(data.EtsWriteBlob(changed.get()), E_ACCESSDENIED);
  state.failWriteExtData = S_OK;
  auto read = std::make_unique<TYPE_DX470_BLOB_COMPLETE>();
  ASSERT_EQ(data.EtsReadBlob(read.get()), S_OK);
  EXPECT_EQ(read->Current.MessageKind[0], 0);

  state.failReadExtData = E_FAIL;
  EXPECT_EQ(data.EtsReadBlob(read.get()), E_FAIL);
}

}  // namespace
