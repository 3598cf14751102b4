// The download step through the real DX47x.so, created by class identifier
// as the host does, in German to see the translated texts.
#include <gtest/gtest.h>

#include <cstdlib>

#include "com/cocreate.h"
#include "data/dx470data.h"
#include "data/packedfont.h"
#include "download_host.h"
#include "fake_device.h"
#include "host/services.h"
#include "module_loading.h"
#include "temp_home.h"

namespace {

struct GermanLanguage {
  GermanLanguage() { setenv("DX47X_LCID", "1031", 1); }
  ~GermanLanguage() { unsetenv("DX47X_LCID"); }
};

class DownloadModule : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::LoadAndRegister(module, "DX47x.so"));
    ASSERT_EQ(CoCreateInstance(CLSID_DX470Hawk, nullptr, CLSCTX_INPROC_SERVER, IDeviceDownload::iid,
                               hawk.PpvSlot()),
              S_OK);
    device = testsupport::MakeFakeDevice(&state);
    CDX470Data data;
    ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
    if (oversized) {
      dx470::ZEICHENSATZ& font = data.Param().Lcd.Fonts[1];
      font.First = 0;
      font.Last = 255;
      font.Height = 20;
      for (dx470::ZEICHEN& g : font.Glyphs) g.Width = 40, g.Height = 20;
      fontOneSize = dx470::PackedSize(data.Param().Lcd.Fonts[0]).size;
    }
    ASSERT_EQ(data.WriteBlob(), S_OK);
    state.parametersLoaded = 1;
    deviceData = testhost::MakeDownloadData(device.Get());
  }

  bool oversized = false;
  size_t fontOneSize = 0;
  testsupport::TempHome home;
  GermanLanguage german;
  testhost::ScopedHostDownload hostDownload;  // before the host's services
  host::HostServices services;
  com::ServerModule module;
  com::ComPtr<IDeviceDownload> hawk;
  testsupport::FakeDeviceState state = testsupport::Dx47xState();
  com::ComPtr<IDevice> device;
  com::ComPtr<IUnknown> deviceData;
  com::ComPtr<IStatusSink> sink = testhost::MakeStatusSink();
  testhost::SimulatedDevice memory;
};

TEST_F(DownloadModule, ModeZeroFinishesWithTheTranslatedText) {
  testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
  EXPECT_EQ(run.Step(0), DOWNLOAD_S_LAST_STEP);
  ASSERT_EQ(testhost::StatusesOf(sink.Get()).size(), 1u);
  EXPECT_EQ(testhost::StatusesOf(sink.Get())[0].text, "Download des DX 47x beendet");
}

class OversizedDownloadModule : public DownloadModule {
 protected:
  void SetUp() override {
    oversized = true;
    DownloadModule::SetUp();
  }
};

TEST_F(OversizedDownloadModule, TheRefusalIsReportedInTheHostsLanguage) {
  testhost::DownloadRun run(hawk.Get(), deviceData.Get(), sink.Get(), &memory);
  EXPECT_EQ(run.Step(1), DOWNLOAD_S_LAST_STEP);
  ASSERT_EQ(testhost::ErrorsOf(sink.Get()).size(), 1u);
  EXPECT_EQ(testhost::ErrorsOf(sink.Get())[0].description,
            "Download-Fehler Die Zeichensätze sind zu groß für den Speicher der Anzeige. "
            "Verwenden Sie weniger oder kleinere Zeichen. (" +
                std::to_string(3811 + fontOneSize + 26402) + " Bytes benötigt, 15839 verfügbar) !!!");
  EXPECT_EQ(state.parametersLoaded, 1);  // never touched
}

}  // namespace
