// The device-event handler of the real module, called as the host calls it,
// on devices of a real project.
#include <cstring>
#include <memory>

#include "com/cocreate.h"
#include "data/records.h"
#include "host/ext_data_bytes.h"
#include "hostapi/dx47x_blob.h"
#include "hostapi/plugin.h"
#include "module_loading.h"
#include "plugin_project_fixture.h"

namespace {

class DeviceEvents : public testsupport::ProjectFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::LoadAndRegister(module, "DX47x.so"));
    ASSERT_EQ(com::CreateInstance(CLSID_DX470DeviceEvent, &events), S_OK);
  }

  // The stored BLOB bytes of a device, empty when it has none.
  std::vector<uint8_t> StoredBlob(IDevice* d) {
    std::vector<uint8_t> bytes;
    host::ReadExtDataBytes(d, dx47x::blob::kKeyWide, &bytes);
    return bytes;
  }
  void StoreBlob(IDevice* d, const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(host::WriteExtDataBytes(d, dx47x::blob::kKeyWide, bytes.data(), bytes.size()), S_OK);
  }

  com::ServerModule module;
  com::ComPtr<IDeviceEvents> events;
};

TEST_F(DeviceEvents, NewDeviceGetsTheDefaults) {
  ASSERT_EQ(events->OnAddDevide(device.Get(), nullptr), S_OK);
  std::vector<uint8_t> blob = StoredBlob(device.Get());
  ASSERT_EQ(blob.size(), sizeof(dx470::TYPE_DX470_BLOB_COMPLETE));
  const auto* b = reinterpret_cast<const dx470::TYPE_DX470_BLOB_COMPLETE*>(blob.data());
  EXPECT_EQ(b->Version, 0x00010000u);
  EXPECT_EQ(std::memcmp(b->Current.Lcd.Messages[0].Text[0], "Text?", 5), 0);
  EXPECT_NE(Trace().find("CDX470DeviceEvent:neues Gerät"), std::string::npos);
  EXPECT_NE(Trace().find("Gerät wurde erfolgreich angelegt"), std::string::npos);
}

TEST_F(DeviceEvents, AValidBlobIsKeptAndAWrongVersionReplaced) {
  ASSERT_EQ(events->OnAddDevide(device.Get(), nullptr), S_OK);
  std::vector<uint8_t> blob = StoredBlob(device.Get());
  blob[100] = 0x5A;  // a configuration of the user's
  StoreBlob(device.Get(), blob);
  ForgetTrace();
  ASSERT_EQ(events->OnAddDevide(device.Get(), nullptr), S_OK);
  EXPECT_EQ(StoredBlob(device.Get()), blob);
  EXPECT_NE(Trace().find("CDX470DeviceEvent:Blob vom gelöschten Gerät"), std::string::npos);

  StoreExtData(device.Get(), ByteArray(blob.size(), 0x00020000));
  ASSERT_EQ(events->OnAddDevide(device.Get(), nullptr), S_OK);
  std::vector<uint8_t> replaced = StoredBlob(device.Get());
  EXPECT_EQ(replaced[0], 0x00);
  EXPECT_EQ(replaced[2], 0x01);  // version 0x00010000 again
  EXPECT_NE(replaced[100], 0x5A);
}

TEST_F(DeviceEvents, CopyTakesTheWholeBlob) {
  ASSERT_EQ(events->OnAddDevide(device.Get(), nullptr), S_OK);
  std::vector<uint8_t> blob = StoredBlob(device.Get());
  blob[14 + 56139 + 40] = 0x77;  // the downloaded copy travels too
  StoreBlob(device.Get(), blob);

  auto copy = DeviceObject(AddDevice("1.1.6"));
  ASSERT_EQ(events->OnAddDevide(copy.Get(), device.Get()), S_OK);
  EXPECT_EQ(StoredBlob(copy.Get()), blob);
  EXPECT_NE(Trace().find("Gerät wurde erfolgreich kopiert"), std::string::npos);
}

TEST_F(DeviceEvents, CopyOfADeviceWithoutBlobFails) {
  auto copy = DeviceObject(AddDevice("1.1.6"));
  EXPECT_EQ(events->OnAddDevide(copy.Get(), device.Get()), MakeHResult(0x80070567));
  EXPECT_TRUE(StoredBlob(copy.Get()).empty());
  EXPECT_NE(Trace().find("CDX470DeviceEvent:EtsReadBlob [80070567]"), std::string::npos);
}

TEST_F(DeviceEvents, SomethingThatIsNoDeviceIsRefused) {
  EXPECT_EQ(events->OnAddDevide(events.Get(), nullptr), E_FAIL);
  EXPECT_EQ(events->OnAddDevide(nullptr, nullptr), E_FAIL);
  EXPECT_NE(Trace().find("CDX470DeviceEvent:Failed to get IDevice interface"), std::string::npos);
  EXPECT_EQ(events->OnRemoveDevice(device.Get()), S_OK);
}

}  // namespace
