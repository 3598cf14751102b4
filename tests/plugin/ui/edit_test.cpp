// The editor entry of the real DX47x.so, created by class identifier as the
// host does, on a device of a temporary project; the editor runs UI scripts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "com/cocreate.h"
#include "data/blockinfo.h"
#include "data/dx470data.h"
#include "data/positions.h"
#include "host/modules.h"
#include "host/services.h"
#include "hostapi/dx47x_blob.h"
#include "hostapi/plugin.h"
#include "plugin_project_fixture.h"

namespace {

using Blob = dx470::TYPE_DX470_BLOB_COMPLETE;

class EditEntry : public testsupport::ProjectFixture {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_EQ(host::RegisterModule(testsupport::BinDir() + "/DX47x.so", false, &error), S_OK) << error;
    ASSERT_EQ(
        CoCreateInstance(CLSID_DX470UI, nullptr, CLSCTX_INPROC_SERVER, IDeviceUI::iid, editor.PpvSlot()),
        S_OK);
  }
  void TearDown() override {
    script.reset();
    ::unsetenv("DX47X_UI_SCRIPT");
  }

  // The host hands the editor the script through its IEditorScript service.
  void UseScript(const std::string& text) {
    const std::string path = WriteScript(text);
    script.reset();
    script = std::make_unique<host::EditorScript>(path);
  }
  std::string WriteScript(const std::string& text) {
    const std::string path = home.Path() + "/edit.ui";
    std::ofstream(path, std::ios::trunc) << text;
    return path;
  }
  HRESULT SetDevice(LONG kind, IDevice* d) {
    IUnknown* object = d;
    return editor->SetDevice(kind, &object);
  }
  // Stores a configuration with one switch message in slot 0.
  void StoreConfiguration(bool staleBlockInformation) {
    CDX470Data data;
    ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
    dx470::DefineMessage(data.Param(), 0, 2, 2, false, "Door");
    dx470::UpdateBlockInformation(data.Param());
    if (staleBlockInformation) data.Param().Lcd.Block.MessageCount = 9;
    ASSERT_EQ(data.EtsWriteBlob(&data.Blob()), S_OK);
  }
  std::vector<uint8_t> StoredBlob() {
    auto value = project.ReadExtData(deviceId, dx47x::blob::kKey);
    return value ? value->data : std::vector<uint8_t>{};
  }
  std::vector<std::vector<uint8_t>> Parameters() {
    std::vector<std::vector<uint8_t>> values;
    for (int32_t p = 1; p <= project.ParameterCount(deviceId); ++p)
      values.push_back(project.ParameterValue(*project.ParameterAt(deviceId, p)).data);
    return values;
  }
  void SetParameters(const std::vector<std::vector<uint8_t>>& values) {
    for (int32_t p = 1; p <= int32_t(values.size()); ++p) {
      int64_t id = *project.ParameterAt(deviceId, p);
      host::StoredValue v = project.ParameterValue(id);
      v.data = values[size_t(p - 1)];
      project.SetParameterValue(id, v);
    }
  }

  com::ComPtr<IDeviceUI> editor;
  std::unique_ptr<host::EditorScript> script;
};

// Without the host's service, DX47X_UI_SCRIPT names the script (for people
// who drive the editor of another host).
TEST_F(EditEntry, TheEnvironmentNamesTheScriptWhenTheHostGivesNone) {
  StoreConfiguration(false);
  ASSERT_EQ(SetDevice(1, device.Get()), S_OK);
  ::setenv("DX47X_UI_SCRIPT", WriteScript("expect-dialog 201\ncancel\n").c_str(), 1);
  EXPECT_EQ(editor->Edit(), E_ABORT);
  // The host's script comes first.
  UseScript("expect-dialog 201\nok\n");
  ::setenv("DX47X_UI_SCRIPT", "/nonexistent.ui", 1);
  EXPECT_EQ(editor->Edit(), S_OK);
}

TEST_F(EditEntry, DeviceArgumentsAreChecked) {
  EXPECT_EQ(editor->Edit(), E_POINTER);  // before SetDevice
  EXPECT_EQ(editor->SetDevice(1, nullptr), E_POINTER);
  StoreConfiguration(false);
  ASSERT_EQ(SetDevice(1, device.Get()), S_OK);
  // A second device of the wrong kind leaves the first in place.
  int64_t other = AddDevice("1.1.9");
  EXPECT_EQ(SetDevice(2, DeviceObject(other).Get()), E_FAIL);
  UseScript("expect-title \"1.1.5  DX 47x text display\"\ncancel\n");
  EXPECT_EQ(editor->Edit(), E_ABORT);
}

TEST_F(EditEntry, UnreadableBlobIsReturnedWithoutADialog) {
  ASSERT_EQ(SetDevice(1, device.Get()), S_OK);
  UseScript("ok\n");  // never reached: no dialog opens
  EXPECT_EQ(editor->Edit(), CDX470Data::kNoBlob);
  EXPECT_TRUE(StoredBlob().empty());
}

TEST_F(EditEntry, CancelLeavesTheProjectUnchanged) {
  StoreConfiguration(true);
  const auto blob = StoredBlob();
  const auto parameters = Parameters();
  ASSERT_EQ(SetDevice(1, device.Get()), S_OK);
  UseScript("answer yes\nclick 5\nexpect-enabled 5 0\ncancel\n");
  EXPECT_EQ(editor->Edit(), E_ABORT);
  EXPECT_EQ(StoredBlob(), blob);
  EXPECT_EQ(Parameters(), parameters);
}

TEST_F(EditEntry, OkWithoutAChangeWritesTheParametersAndTheBlob) {
  const auto initialParameters = Parameters();
  // What a save of this configuration writes.
  {
    CDX470Data data;
    ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
    dx470::DefineMessage(data.Param(), 0, 2, 2, false, "Door");
    dx470::UpdateBlockInformation(data.Param());
    ASSERT_EQ(data.WriteBlobAndEtsParameter(), S_OK);
  }
  const auto savedBlob = StoredBlob();
  const auto savedParameters = Parameters();
  ASSERT_NE(savedParameters, initialParameters);
  // The same configuration with stale block information and the host's
  // parameters as they were before.
  StoreConfiguration(true);
  SetParameters(initialParameters);
  ASSERT_NE(StoredBlob(), savedBlob);

  ASSERT_EQ(SetDevice(1, device.Get()), S_OK);
  UseScript("expect-text 201 \"Door\\tswitch On/Off\\tswitch On/Off\"\nok\n");
  EXPECT_EQ(editor->Edit(), S_OK);
  EXPECT_EQ(StoredBlob(), savedBlob);
  EXPECT_EQ(Parameters(), savedParameters);
}

TEST_F(EditEntry, AFailedScriptSavesNothingAndIsNoCancel) {
  StoreConfiguration(true);
  const auto blob = StoredBlob();
  ASSERT_EQ(SetDevice(1, device.Get()), S_OK);
  // A failed expectation cancels the dialogs.
  UseScript("answer yes\nclick 5\nexpect-title \"not this\"\nok\n");
  EXPECT_EQ(editor->Edit(), EDIT_E_SCRIPT_FAILED);
  EXPECT_EQ(StoredBlob(), blob);
  // Lines left after OK fail the script although the dialog ended with OK.
  UseScript("answer yes\nclick 5\nok\nexpect-dialog 201\n");
  EXPECT_EQ(editor->Edit(), EDIT_E_SCRIPT_FAILED);
  EXPECT_EQ(StoredBlob(), blob);
  // A line that cannot be parsed: the dialog is cancelled at once.
  UseScript("frobnicate 201\nok\n");
  EXPECT_EQ(editor->Edit(), EDIT_E_SCRIPT_FAILED);
  EXPECT_EQ(StoredBlob(), blob);
}

}  // namespace
