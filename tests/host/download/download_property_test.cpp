// Random configurations, edits and downloads (complete, partial, and
// interrupted by a bus failure) through the real plug-in module: after every
// successful download the device memory holds the image of the current
// configuration; after a failed one the downloaded copy is unchanged and the
// parameters-loaded flag is 0.
#include <cstring>
#include <memory>
#include <random>

#include "com/cocreate.h"
#include "data/blockinfo.h"
#include "data/positions.h"
#include "download/lcdimage.h"
#include "host/download_executor.h"
#include "host/ext_data_bytes.h"
#include "host/simulated_device.h"
#include "hostapi/plugin.h"
#include "project_fixture.h"

namespace {

using Blob = dx470::TYPE_DX470_BLOB_COMPLETE;

class DownloadProperty : public testsupport::ProjectFixture {
 protected:
  void SetUp() override {
    unsetenv("DX47X_TRACE");  // thousands of lines otherwise
    ASSERT_EQ(module.Load(testsupport::BinDir() + "/DX47x.so"), S_OK) << module.Error();
    ASSERT_EQ(reinterpret_cast<DllRegisterServerFn>(module.Symbol("DllRegisterServer"))(), S_OK);
    com::ComPtr<IDeviceEvents> events;
    ASSERT_EQ(com::CreateInstance(CLSID_DX470DeviceEvent, &events), S_OK);
    ASSERT_EQ(events->OnAddDevide(device.Get(), nullptr), S_OK);
  }

  std::unique_ptr<Blob> ReadBlob() {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(host::ReadExtDataBytes(device.Get(), u"DX470", &bytes), S_OK);
    auto blob = std::make_unique<Blob>();
    if (bytes.size() == sizeof(Blob)) std::memcpy(blob.get(), bytes.data(), sizeof(Blob));
    return blob;
  }

  void WriteBlob(const Blob& blob) {
    ASSERT_EQ(host::WriteExtDataBytes(device.Get(), u"DX470", &blob, sizeof blob), S_OK);
  }

  // One edit of the kind a user makes in the editor.
  void Edit(dx470::PARAM& p, std::mt19937& rng) {
    auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
    switch (pick(5)) {
      case 0: {  // a new message
        int slot = dx470::FirstFreeSlot(p);
        if (slot >= 0) dx470::DefineMessage(p, slot, uint8_t(1 + pick(12)), 0, pick(2) == 1, "Text?");
        break;
      }
      case 1: {  // a text character
        int slot = pick(16);
        p.Lcd.Messages[slot].Text[pick(3)][pick(30)] = uint8_t(32 + pick(200));
        break;
      }
      case 2:  // a general parameter
        p.Lcd.General.Bytes[pick(15)] = uint8_t(pick(256));
        break;
      case 3: {  // a pixel of a glyph
        dx470::ZEICHEN& g = p.Lcd.Fonts[pick(2)].Glyphs[pick(224)];
        if (g.Width > 0 && g.Height > 0) g.Bitmap[pick((g.Width + 7) / 8) * 20 + pick(g.Height)] ^= 0x80;
        break;
      }
      default: {  // delete a message
        int slot = pick(16);
        if (p.MessageKind[slot] != 0) dx470::DeleteMessage(p, slot, "Text?");
      }
    }
    dx470::UpdateBlockInformation(p);
  }

  void ExpectDeviceHoldsImage(const Blob& blob) {
    auto param = std::make_unique<dx470::PARAM>(blob.Current);
    auto buffer = std::make_unique<dx470::ImageBuffer>();
    dx470::ImageResult image = dx470::BuildLcdImage(*param, *buffer);
    ASSERT_TRUE(image.ok());
    host::SimulatedDevice memory(project, deviceId);
    EXPECT_EQ(std::memcmp(memory.Memory() + dx470::kImageBase, buffer->data() + dx470::kImagePrefixSize,
                          image.length),
              0);
  }

  com::ServerModule module;
};

TEST_F(DownloadProperty, DeviceMemoryFollowsTheConfiguration) {
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    for (int round = 0; round < 12; ++round) {
      SCOPED_TRACE(round);
      auto blob = ReadBlob();
      for (int e = int(rng() % 4); e > 0; --e) Edit(blob->Current, rng);
      WriteBlob(*blob);

      const int kind = int(rng() % 4);  // complete, partial twice as often, interrupted
      const uint8_t mode = kind == 0 ? 0xFF : 1;
      host::DownloadFault fault;
      if (kind == 3) fault = {1 + int(rng() % 2), 1 + rng() % 3};
      auto before = ReadBlob();
      host::DownloadResult r = host::RunDownload(project, deviceId, kind == 3 ? 1 : mode, nullptr,
                                                 kind == 3 ? &fault : nullptr);
      auto after = ReadBlob();
      if (kind == 3) {
        ASSERT_FALSE(r.succeeded);
        EXPECT_EQ(std::memcmp(&after->Downloaded, &before->Downloaded, sizeof(dx470::PARAM)), 0);
        EXPECT_FALSE(project.ParametersLoaded(deviceId));
        continue;
      }
      ASSERT_TRUE(r.succeeded) << r.error;
      EXPECT_TRUE(project.ParametersLoaded(deviceId));
      EXPECT_EQ(std::memcmp(&after->Downloaded, &after->Current, sizeof(dx470::PARAM)), 0);
      ExpectDeviceHoldsImage(*after);
      if (mode == 1) {
        EXPECT_EQ(r.plugin.readTelegrams, 2u);  // the block information is read back first
      }
    }
  }
}

TEST_F(DownloadProperty, SecondDownloadWithoutChangesWritesOnlyTheBlockInformation) {
  ASSERT_TRUE(host::RunDownload(project, deviceId, 1, nullptr).succeeded);
  host::DownloadResult r = host::RunDownload(project, deviceId, 1, nullptr);
  ASSERT_TRUE(r.succeeded);
  EXPECT_FALSE(r.complete);
  EXPECT_EQ(r.plugin.bytesWritten, 20u);
  EXPECT_EQ(r.plugin.writeTelegrams, 2u);
  host::SimulatedDevice memory(project, deviceId);
  EXPECT_EQ(memory.RestartCount(), 2);
}

}  // namespace
