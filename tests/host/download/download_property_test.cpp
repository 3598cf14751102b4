// Random configurations, edits and downloads (complete, partial, and
// interrupted by a bus failure between any two telegrams) through the real
// plug-in module: after every successful download the device memory is what
// a clean complete download leaves; after a failed one the downloaded copy
// is unchanged and the parameters-loaded flag is 0, and the next download
// mends the device whatever the user changed in between.
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "com/cocreate.h"
#include "data/blockinfo.h"
#include "data/positions.h"
#include "download/lcdimage.h"
#include "host/download_executor.h"
#include "host/ext_data_bytes.h"
#include "host/simulated_device.h"
#include "hostapi/download.h"
#include "hostapi/dx47x_blob.h"
#include "hostapi/plugin.h"
#include "module_loading.h"
#include "plugin_project_fixture.h"

namespace {

using Blob = dx470::TYPE_DX470_BLOB_COMPLETE;

class DownloadProperty : public testsupport::ProjectFixture {
 protected:
  void SetUp() override {
    unsetenv("DX47X_TRACE");  // thousands of lines otherwise
    ASSERT_TRUE(testsupport::LoadAndRegister(module, "DX47x.so"));
    com::ComPtr<IDeviceEvents> events;
    ASSERT_EQ(com::CreateInstance(CLSID_DX470DeviceEvent, &events), S_OK);
    ASSERT_EQ(events->OnAddDevide(device.Get(), nullptr), S_OK);
  }

  std::unique_ptr<Blob> ReadBlob() {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(host::ReadExtDataBytes(DeviceObject(deviceId).Get(), dx47x::blob::kKeyWide, &bytes), S_OK);
    auto blob = std::make_unique<Blob>();
    if (bytes.size() == sizeof(Blob)) std::memcpy(blob.get(), bytes.data(), sizeof(Blob));
    return blob;
  }

  void WriteBlob(const Blob& blob) {
    // A device object of its own: the project refuses a write from an
    // object that read the configuration before the last download wrote it.
    ASSERT_EQ(
        host::WriteExtDataBytes(DeviceObject(deviceId).Get(), dx47x::blob::kKeyWide, &blob, sizeof blob),
        S_OK);
  }

  // One edit of the kind a user makes in the editor, including the ones
  // that turn a byte 0 into 255 or back, which no Fletcher sum sees.
  void Edit(dx470::PARAM& p, std::mt19937& rng) {
    auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
    switch (pick(7)) {
      case 0: {  // a new message
        int slot = dx470::FirstFreeSlot(p);
        if (slot >= 0) dx470::DefineMessage(p, slot, uint8_t(1 + pick(12)), 0, pick(2) == 1, "Text?");
        break;
      }
      case 1: {  // a text character, sometimes code 255
        int slot = pick(16);
        p.Lcd.Messages[slot].Text[pick(3)][pick(30)] = pick(3) == 0 ? 255 : uint8_t(32 + pick(200));
        break;
      }
      case 2:  // a general parameter
        p.Lcd.General.Bytes[pick(15)] = uint8_t(pick(256));
        break;
      case 3: {  // the backlight between "always off" (0) and "always on" (255)
        uint8_t& backlight = p.Lcd.General.Bytes[4];
        backlight = backlight == 0 ? 255 : 0;
        break;
      }
      case 4: {  // a pixel of a glyph, or a full 8-pixel row
        dx470::ZEICHENSATZ& font = p.Lcd.Fonts[pick(2)];
        dx470::ZEICHEN& g = font.Glyphs[pick(font.Last - font.First + 1)];
        if (g.Width >= 8 && g.Height > 0) {
          uint8_t& row = g.Bitmap[pick(g.Height)];
          row = pick(2) == 0 ? uint8_t(row ^ 0x80) : uint8_t(row == 0xFF ? 0 : 0xFF);
        }
        break;
      }
      default: {  // delete a message
        int slot = pick(16);
        if (p.MessageKind[slot] != 0) dx470::DeleteMessage(p, slot, "Text?");
      }
    }
    dx470::UpdateBlockInformation(p);
  }

  // Fewer glyphs make an image of a few hundred telegrams.
  void MakeSmall() {
    auto blob = ReadBlob();
    for (dx470::ZEICHENSATZ& font : blob->Current.Lcd.Fonts) font.Last = uint8_t(font.First + 5);
    dx470::UpdateBlockInformation(blob->Current);
    WriteBlob(*blob);
  }

  std::vector<uint8_t> DeviceMemory() {
    host::SimulatedDevice memory(project, deviceId);
    return std::vector<uint8_t>(memory.Memory(), memory.Memory() + host::SimulatedDevice::kMemorySize);
  }
  void SetDeviceMemory(const std::vector<uint8_t>& bytes) {
    host::SimulatedDevice memory(project, deviceId);
    std::memcpy(memory.Memory(), bytes.data(), bytes.size());
    memory.Save();
  }

  // What a clean complete download of `blob`'s current configuration leaves
  // in a device that held `before`: its image from the image base on.
  static std::vector<uint8_t> CleanDownload(std::vector<uint8_t> before, const Blob& blob) {
    auto param = std::make_unique<dx470::PARAM>(blob.Current);
    auto buffer = std::make_unique<dx470::ImageBuffer>();
    dx470::ImageResult image = dx470::BuildLcdImage(*param, *buffer);
    EXPECT_TRUE(image.ok());
    std::memcpy(before.data() + dx470::kImageBase, buffer->data() + dx470::kImagePrefixSize, image.length);
    return before;
  }

  // Telegrams of a clean run.
  static uint64_t Telegrams(const host::DownloadResult& r) {
    uint64_t n = 0;
    for (const host::BusTraffic* t : {&r.plugin, &r.host})
      n += t->writeTelegrams + t->readTelegrams + t->restarts + t->connects + t->disconnects;
    return n;
  }

  // Interrupts the download of `edited` over a device in state (`memory`,
  // `stored`) at every telegram; after each interruption the user either
  // keeps the edit or undoes it, and one more download must leave the device
  // as a clean complete download of what the project then holds.
  void InterruptEverywhere(const std::vector<uint8_t>& memory, const Blob& stored, const Blob& edited) {
    WriteBlob(edited);
    SetDeviceMemory(memory);
    const host::DownloadResult clean = host::RunDownload(project, deviceId, 1, nullptr);
    ASSERT_TRUE(clean.succeeded) << clean.error;
    const uint64_t telegrams = Telegrams(clean);
    for (uint64_t k = 0; k < telegrams; ++k) {
      SCOPED_TRACE(k);
      WriteBlob(edited);
      SetDeviceMemory(memory);
      project.SetParametersLoaded(deviceId, true);
      host::DownloadFault fault;
      fault.telegram = k;
      host::DownloadResult cut = host::RunDownload(project, deviceId, 1, nullptr, &fault);
      ASSERT_FALSE(cut.succeeded);
      EXPECT_FALSE(project.ParametersLoaded(deviceId));
      for (bool undo : {false, true}) {
        auto now = ReadBlob();
        if (undo) {  // back to what the device held, downloaded copy as the project has it
          std::memcpy(&now->Current, &stored.Current, sizeof(dx470::PARAM));
          WriteBlob(*now);
        }
        const std::vector<uint8_t> before = DeviceMemory();
        host::DownloadResult again = host::RunDownload(project, deviceId, 1, nullptr);
        ASSERT_TRUE(again.succeeded) << again.error;
        ASSERT_EQ(DeviceMemory(), CleanDownload(before, *ReadBlob())) << (undo ? "undone" : "kept");
        if (!undo) {  // the device now holds the edit: cut the undo from there
          WriteBlob(edited);
          SetDeviceMemory(memory);
          project.SetParametersLoaded(deviceId, true);
          ASSERT_FALSE(host::RunDownload(project, deviceId, 1, nullptr, &fault).succeeded);
        }
      }
    }
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
      auto undo = std::make_unique<Blob>(*blob);
      for (int e = 1 + int(rng() % 3); e > 0; --e) Edit(blob->Current, rng);
      WriteBlob(*blob);

      const int kind = int(rng() % 4);  // complete, partial twice as often, interrupted
      const uint8_t mode = kind == 0 ? 0xFF : 1;
      host::DownloadFault fault;
      fault.telegram = rng() % 400;
      auto before = ReadBlob();
      const std::vector<uint8_t> memory = DeviceMemory();
      host::DownloadResult r =
          host::RunDownload(project, deviceId, mode, nullptr, kind == 3 ? &fault : nullptr);
      auto after = ReadBlob();
      if (kind == 3 && !r.succeeded) {
        // Cut at the restart, the configuration is written and remembered.
        const dx470::PARAM& copy = r.notRestarted ? after->Current : before->Downloaded;
        EXPECT_EQ(std::memcmp(&after->Downloaded, &copy, sizeof(dx470::PARAM)), 0);
        EXPECT_FALSE(project.ParametersLoaded(deviceId));
        if (rng() % 2 == 0) {  // the user undoes the edits before downloading again
          std::memcpy(&after->Current, &undo->Current, sizeof(dx470::PARAM));
          WriteBlob(*after);
        }
        continue;
      }
      ASSERT_TRUE(r.succeeded) << r.error;
      EXPECT_TRUE(project.ParametersLoaded(deviceId));
      EXPECT_EQ(std::memcmp(&after->Downloaded, &after->Current, sizeof(dx470::PARAM)), 0);
      std::vector<uint8_t> expected = CleanDownload(memory, *after);
      if (mode == 0xFF) {  // the application data, too
        host::SimulatedDevice now(project, deviceId);
        std::memcpy(expected.data() + host::kApplicationAreaStart, now.Memory() + host::kApplicationAreaStart,
                    host::kApplicationAreaLength);
      }
      EXPECT_EQ(DeviceMemory(), expected);
      if (mode == 1) {
        // The block information and the general bytes are read back first.
        EXPECT_EQ(r.plugin.readTelegrams, 3u);
      }
    }
  }
}

TEST_F(DownloadProperty, AnInterruptedCompleteDownloadIsMendedByTheNextOne) {
  MakeSmall();
  auto stored = ReadBlob();
  InterruptEverywhere(DeviceMemory(), *stored, *stored);
}

TEST_F(DownloadProperty, AnInterruptedPartialDownloadIsMendedByTheNextOneEvenAfterAnUndo) {
  MakeSmall();
  {
    auto blob = ReadBlob();
    blob->Current.Lcd.Messages[2].Text[0][7] = 0;
    blob->Current.Lcd.Messages[9].Text[1][3] = 0;
    dx470::UpdateBlockInformation(blob->Current);
    WriteBlob(*blob);
  }
  ASSERT_TRUE(host::RunDownload(project, deviceId, 1, nullptr).succeeded);
  auto stored = ReadBlob();
  const std::vector<uint8_t> memory = DeviceMemory();
  // Changes that leave every checksum as it was: two message characters
  // from 0 to 255, far enough apart to be written by two telegrams.
  auto edited = std::make_unique<Blob>(*stored);
  edited->Current.Lcd.Messages[2].Text[0][7] = 255;
  edited->Current.Lcd.Messages[9].Text[1][3] = 255;
  dx470::UpdateBlockInformation(edited->Current);
  EXPECT_EQ(
      std::memcmp(&edited->Current.Lcd.Block, &stored->Current.Lcd.Block, sizeof(dx470::BLOCKINFORMATIONEN)),
      0);
  InterruptEverywhere(memory, *stored, *edited);
}

TEST_F(DownloadProperty, AnotherCopyOfTheProjectDoesNotTakeTheDeviceForItsOwn) {
  // Two copies of one project hold the same downloaded copy; the first
  // downloads a change that no checksum sees, the second downloads its own.
  {
    auto blob = ReadBlob();
    blob->Current.Lcd.General.Bytes[5] = 0;
    dx470::UpdateBlockInformation(blob->Current);
    WriteBlob(*blob);
  }
  ASSERT_TRUE(host::RunDownload(project, deviceId, 1, nullptr).succeeded);
  auto copy = ReadBlob();  // the other PC's project
  auto first = ReadBlob();
  first->Current.Lcd.General.Bytes[5] = 255;
  dx470::UpdateBlockInformation(first->Current);
  WriteBlob(*first);
  ASSERT_TRUE(host::RunDownload(project, deviceId, 1, nullptr).succeeded);

  copy->Current.Lcd.Messages[0].Text[0][0] = 'Q';
  dx470::UpdateBlockInformation(copy->Current);
  WriteBlob(*copy);
  const std::vector<uint8_t> before = DeviceMemory();
  host::DownloadResult r = host::RunDownload(project, deviceId, 1, nullptr);
  ASSERT_TRUE(r.succeeded) << r.error;
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.completeReason, "the device holds another configuration");
  EXPECT_EQ(DeviceMemory(), CleanDownload(before, *ReadBlob()));
}

TEST_F(DownloadProperty, AFailedRestartLeavesTheFlagClearAndTheNextDownloadRestarts) {
  ASSERT_TRUE(host::RunDownload(project, deviceId, 1, nullptr).succeeded);
  auto blob = ReadBlob();
  blob->Current.Lcd.Messages[0].Text[0][0] = 'R';
  dx470::UpdateBlockInformation(blob->Current);
  WriteBlob(*blob);
  const host::DownloadResult clean = host::RunDownload(project, deviceId, 1, nullptr);
  ASSERT_TRUE(clean.succeeded);
  // Once more from the same state, with the restart (the last telegram but
  // its connection) refused.
  WriteBlob(*blob);
  host::DownloadFault fault;
  fault.step = 3;
  fault.record = 1;
  const int64_t restarts = host::SimulatedDevice(project, deviceId).RestartCount();
  host::DownloadResult r = host::RunDownload(project, deviceId, 1, nullptr, &fault);
  EXPECT_FALSE(r.succeeded);
  EXPECT_TRUE(r.notRestarted);
  EXPECT_NE(r.error.find("written, not restarted: download again to restart"), std::string::npos) << r.error;
  EXPECT_FALSE(project.ParametersLoaded(deviceId));
  EXPECT_EQ(host::SimulatedDevice(project, deviceId).RestartCount(), restarts);

  host::DownloadResult again = host::RunDownload(project, deviceId, 1, nullptr);
  ASSERT_TRUE(again.succeeded) << again.error;
  EXPECT_FALSE(again.complete);
  EXPECT_EQ(again.plugin.bytesWritten, 20u);  // nothing left to write but the block information
  EXPECT_EQ(host::SimulatedDevice(project, deviceId).RestartCount(), restarts + 1);
  EXPECT_TRUE(project.ParametersLoaded(deviceId));
}

TEST_F(DownloadProperty, AFailureSaysWhatWasWritten) {
  host::DownloadFault fault;
  fault.telegram = 12;  // connect, 3 reads, disconnect, connect, 6 writes
  host::DownloadResult r = host::RunDownload(project, deviceId, 1, nullptr, &fault);
  ASSERT_FALSE(r.succeeded);
  EXPECT_NE(r.error.find("the device stopped answering at telegram 13"), std::string::npos) << r.error;
  // The invalidated identifier (1 byte) and five telegrams of 12 from 0x782C.
  EXPECT_NE(r.error.find("61 bytes were written, the last at 0x7867"), std::string::npos) << r.error;
}

// An editor that saves while a download runs: the download must not undo
// the save when it remembers what it downloaded.
TEST_F(DownloadProperty, AnEditSavedDuringADownloadIsKept) {
  struct SavingObserver : host::DownloadObserver {
    std::function<void()> save;
    void Status(int32_t kind, const std::string&) override {
      if (kind == kStatusKindWorking && save) std::exchange(save, nullptr)();
    }
    void Progress(int) override {}
  } editor;
  auto saved = ReadBlob();
  saved->Current.Lcd.Messages[1].Text[0][0] = 'E';
  dx470::UpdateBlockInformation(saved->Current);
  editor.save = [&] { WriteBlob(*saved); };  // while the block information is read back

  host::DownloadResult r = host::RunDownload(project, deviceId, 1, &editor);
  EXPECT_FALSE(r.succeeded);
  EXPECT_NE(r.error.find("the configuration was changed during the download: download again"),
            std::string::npos)
      << r.error;
  auto after = ReadBlob();
  EXPECT_EQ(std::memcmp(&after->Current, &saved->Current, sizeof(dx470::PARAM)), 0);
  EXPECT_FALSE(project.ParametersLoaded(deviceId));

  const std::vector<uint8_t> before = DeviceMemory();
  ASSERT_TRUE(host::RunDownload(project, deviceId, 1, nullptr).succeeded);
  EXPECT_EQ(DeviceMemory(), CleanDownload(before, *ReadBlob()));
}

TEST_F(DownloadProperty, SelfContradictingFontsAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    const char* what;
    void (*spoil)(dx470::ZEICHENSATZ&);
  };
  for (const Case& c :
       {Case{"a glyph higher than the font",
             [](dx470::ZEICHENSATZ& f) { f.Glyphs[0].Height = uint8_t(f.Height + 1); }},
        Case{"font height 72", [](dx470::ZEICHENSATZ& f) { f.Height = 72; }},
        Case{"first after last", [](dx470::ZEICHENSATZ& f) { f.First = uint8_t(f.Last + 1); }}}) {
    SCOPED_TRACE(c.what);
    auto blob = ReadBlob();
    auto good = std::make_unique<Blob>(*blob);
    c.spoil(blob->Current.Lcd.Fonts[1]);
    WriteBlob(*blob);
    const std::vector<uint8_t> before = DeviceMemory();
    host::DownloadResult r = host::RunDownload(project, deviceId, 1, nullptr);
    EXPECT_FALSE(r.succeeded);
    EXPECT_NE(r.error.find("Font 2 is damaged"), std::string::npos) << r.error;
    EXPECT_EQ(r.plugin.bytesWritten, 0u);
    EXPECT_EQ(DeviceMemory(), before);
    WriteBlob(*good);
  }
}

TEST_F(DownloadProperty, SecondDownloadWithoutChangesWritesOnlyTheBlockInformation) {
  ASSERT_TRUE(host::RunDownload(project, deviceId, 1, nullptr).succeeded);
  host::DownloadResult r = host::RunDownload(project, deviceId, 1, nullptr);
  ASSERT_TRUE(r.succeeded);
  EXPECT_FALSE(r.complete);
  EXPECT_EQ(r.plugin.bytesWritten, 20u);  // nothing changed: no invalidation either
  EXPECT_EQ(r.plugin.writeTelegrams, 2u);
  host::SimulatedDevice memory(project, deviceId);
  EXPECT_EQ(memory.RestartCount(), 2);
}

}  // namespace
