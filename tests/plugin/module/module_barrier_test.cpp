// No exception leaves the plug-in through a COM interface: a host object
// that throws (here the device's extension data) makes every entry point of
// every class return the matching HRESULT, with the cause as the thread's
// error description.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "com/bstr.h"
#include "com/cocreate.h"
#include "com/errorinfo.h"
#include "download_host.h"
#include "fake_device.h"
#include "host/services.h"
#include "hostapi/plugin.h"
#include "module_loading.h"
#include "temp_home.h"

namespace {

std::string ThreadErrorDescription() {
  com::ComPtr<IErrorInfo> info;
  com::Bstr text;
  if (GetErrorInfo(0, &info) != S_OK || !info || FAILED(info->GetDescription(&text))) return {};
  return text.ToUtf8();
}

class PluginBarrier : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::LoadAndRegister(module, "DX47x.so"));
    device = testsupport::MakeFakeDevice(&state);
  }

  // Every entry point that reaches the device, with the device throwing.
  void ExpectEveryEntryPointReturns(HRESULT expected, const std::string& description) {
    {
      SCOPED_TRACE("DX470DeviceEvent::OnAddDevide");
      com::ComPtr<IDeviceEvents> events;
      ASSERT_EQ(com::CreateInstance(CLSID_DX470DeviceEvent, &events), S_OK);
      EXPECT_EQ(events->OnAddDevide(device.Get(), nullptr), expected);
      EXPECT_EQ(ThreadErrorDescription(), description);
      EXPECT_EQ(events->OnAddDevide(device.Get(), device.Get()), expected);
    }
    {
      SCOPED_TRACE("DX470Hawk::Download");
      com::ComPtr<IDeviceDownload> hawk;
      ASSERT_EQ(com::CreateInstance(CLSID_DX470Hawk, &hawk), S_OK);
      com::ComPtr<IUnknown> data = testhost::MakeDownloadData(device.Get());
      com::ComPtr<IStatusSink> sink = testhost::MakeStatusSink();
      ImageSegmentList in{0, nullptr}, out{0, nullptr};
      com::ComPtr<IStream> procedures;
      SHORT progress = 0;
      EXPECT_EQ(hawk->Download(data.Get(), 0, 0, sink.Get(), 1, &in, &out, &procedures, &progress), expected);
      EXPECT_EQ(ThreadErrorDescription(), description);
      EXPECT_EQ(out.count, 0u);
    }
    {
      SCOPED_TRACE("DX470UI::Edit");
      com::ComPtr<IDeviceUI> ui;
      ASSERT_EQ(com::CreateInstance(CLSID_DX470UI, &ui), S_OK);
      IUnknown* unknown = device.Get();
      ASSERT_EQ(ui->SetDevice(1, &unknown), S_OK);
      EXPECT_EQ(ui->Edit(), expected);
      EXPECT_EQ(ThreadErrorDescription(), description);
    }
  }

  testsupport::TempHome home;
  testhost::ScopedHostDownload hostDownload;  // before the host's services
  host::HostServices services;
  com::ServerModule module;
  testsupport::FakeDeviceState state = testsupport::Dx47xState();
  com::ComPtr<IDevice> device;
};

TEST_F(PluginBarrier, AnExceptionOfTheHostBecomesEFailWithItsText) {
  state.onReadExtData = [] { throw std::runtime_error("the host's store broke"); };
  ExpectEveryEntryPointReturns(E_FAIL, "the host's store broke");
}

TEST_F(PluginBarrier, RunningOutOfMemoryBecomesEOutOfMemory) {
  state.onReadExtData = [] { throw std::bad_alloc(); };
  ExpectEveryEntryPointReturns(E_OUTOFMEMORY, "not enough memory");
}

TEST_F(PluginBarrier, AnythingElseThrownBecomesEUnexpected) {
  state.onReadExtData = [] { throw 47; };
  ExpectEveryEntryPointReturns(E_UNEXPECTED, "an unexpected exception");
}

}  // namespace
