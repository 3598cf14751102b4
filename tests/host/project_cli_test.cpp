// The project commands of dx47x-host, run as a separate program with a
// temporary $DX47X_HOME (the plug-in registered there only where a test
// says so).
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "com/comptr.h"
#include "host/ext_data_bytes.h"
#include "host/project.h"
#include "host/project_blob.h"
#include "host/project_errors.h"
#include "host/project_objects.h"
#include "hostapi/dx47x_blob.h"
#include "temp_home.h"
#include "win/file.h"

namespace {

class ProjectCli : public ::testing::Test {
 protected:
  // Runs dx47x-host with the arguments; output holds stdout and stderr.
  int Run(const std::string& args) {
    return testsupport::RunCommand(testsupport::BinDir() + "/dx47x-host " + args + " 2>&1", &output);
  }
  void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  // A BLOB of the right size and version with message slot 3 (index 2)
  // receiving type 3 and sending type 8, and a first text row.
  static std::vector<uint8_t> Blob(uint32_t version = 0x00010000, size_t size = 112292) {
    std::vector<uint8_t> b(size);
    for (int i = 0; i < 4; ++i) b[i] = uint8_t(version >> (8 * i));
    const size_t param = 14;
    b[param + 2 + 2] = 3;
    b[param + 18 + 2] = 8;
    const char text[] =
        "Temp\x01rature \xB0"
        "C \xE4\x80\x81";
    std::copy(text, text + sizeof text - 1, b.begin() + param + 69 + 236 * 2 + 2);
    return b;
  }
  bool Has(const std::string& text) const { return output.find(text) != std::string::npos; }
  std::string ProjectPath() const { return home.Path() + "/project.db"; }
  // A device without configuration, as an earlier version of this program
  // left one when the plug-in failed to set it up.
  void AddBare(const std::string& address) {
    host::PhysicalAddress a;
    ASSERT_TRUE(host::ParsePhysicalAddress(address, &a));
    host::Project::Open(ProjectPath()).AddDevice(a, host::Dx47xDeviceTemplate());
  }
  std::vector<uint8_t> StoredBlob(const std::string& address) {
    host::PhysicalAddress a;
    EXPECT_TRUE(host::ParsePhysicalAddress(address, &a));
    host::Project p = host::Project::OpenReadOnly(ProjectPath());
    std::optional<host::StoredValue> v = p.ReadExtData(p.DeviceAt(a), host::kBlobKey);
    return v ? v->data : std::vector<uint8_t>{};
  }

  testsupport::TempHome home;
  std::string output;
};

TEST_F(ProjectCli, InitCreatesOnceAndCommandsNeedAProject) {
  EXPECT_EQ(Run("list"), 1);
  EXPECT_TRUE(Has("does not exist")) << output;
  EXPECT_FALSE(win::FileExists(home.Path() + "/project.db"));
  EXPECT_EQ(Run("init"), 0) << output;
  EXPECT_EQ(Run("init"), 1);
  EXPECT_TRUE(Has("already exists")) << output;
  EXPECT_EQ(Run("list"), 0) << output;
  EXPECT_TRUE(Has("0 devices")) << output;

  std::string other = home.Path() + "/deep/folder/other.db";
  EXPECT_EQ(Run("--project " + other + " init --name Office"), 0) << output;
  EXPECT_EQ(Run("--project " + other + " list"), 0);
  EXPECT_TRUE(Has("'Office'")) << output;
  std::ofstream(home.Path() + "/junk.db") << "not a project";
  EXPECT_EQ(Run("--project " + home.Path() + "/junk.db list"), 1);
  EXPECT_TRUE(Has("not a project")) << output;
}

// Addresses and numbers are digits only: no sign, blank or other form a
// number parser would take on the way.
TEST_F(ProjectCli, AddressesAndNumbersAreParsedStrictly) {
  ASSERT_EQ(Run("init"), 0) << output;
  for (const char* address : {"1.1.-0", "+1.1.5", "1.+1.5", "1.1. 5", "1.1.5x", "1..5", "16.1.5"})
    EXPECT_EQ(Run(std::string("add-device \"") + address + "\""), 2) << address << ": " << output;
  for (const char* group : {"1/2/-0", "+1/2/3", "32/0/0", "1/2/3/4"})
    EXPECT_EQ(Run(std::string("group-address add \"") + group + "\" Name"), 2) << group << ": " << output;
  EXPECT_EQ(Run("download 1.1.5 --mode -1"), 2) << output;
  EXPECT_EQ(Run("download 1.1.5 --mode \" 1\""), 2) << output;
  EXPECT_EQ(Run("memory 1.1.5 --length +10"), 2) << output;
  EXPECT_EQ(Run("memory 1.1.5 --from -0x10"), 2) << output;
}

TEST_F(ProjectCli, DevicesAreAddedCopiedLinkedAndDeleted) {
  ASSERT_EQ(Run("init"), 0);
  // Without a registered plug-in a device cannot get its configuration, and
  // is not added at all.
  EXPECT_EQ(Run("add-device 1.1.5 --name Hall"), 1);
  EXPECT_TRUE(Has("the device was not added")) << output;
  ASSERT_EQ(Run("list"), 0);
  EXPECT_TRUE(Has("0 devices")) << output;
  ASSERT_EQ(Run("register"), 0) << output;
  EXPECT_EQ(Run("add-device 1.1.5 --name Hall"), 0) << output;
  EXPECT_EQ(Run("add-device 1.1.5"), 1);
  EXPECT_TRUE(Has("already taken")) << output;
  EXPECT_EQ(Run("add-device 1.1.6 --copy-of 1.1.5"), 0) << output;
  EXPECT_EQ(Run("add-device 1.1.7 --copy-of 1.1.9"), 1);
  EXPECT_TRUE(Has("no device")) << output;
  EXPECT_EQ(Run("add-device 16.1.1"), 2);
  EXPECT_EQ(Run("add-device"), 2);
  EXPECT_EQ(Run("add-device 1.1.8 --colour red"), 2);
  EXPECT_EQ(Run("frobnicate"), 2);

  ASSERT_EQ(Run("list"), 0);
  EXPECT_TRUE(Has("2 devices")) << output;
  EXPECT_NE(output.find("1.1.6       Hall"), std::string::npos) << output;
  EXPECT_FALSE(Has("1.1.7")) << output;

  EXPECT_EQ(Run("group-address add 1/2/3 Light"), 0) << output;
  EXPECT_EQ(Run("group-address add 1/2/3 Again"), 1);
  EXPECT_EQ(Run("group-address add 32/0/0 Bad"), 2);
  EXPECT_EQ(Run("link 1.1.5 1 1/2/3"), 0) << output;
  EXPECT_EQ(Run("link 1.1.5 1 1/2/4"), 1);
  EXPECT_EQ(Run("link 1.1.5 99 1/2/3"), 1);
  EXPECT_EQ(Run("link 1.1.5 x 1/2/3"), 2);
  ASSERT_EQ(Run("show 1.1.5"), 0);
  EXPECT_TRUE(Has("Receive message 1")) << output;
  EXPECT_TRUE(Has("-> 1/2/3")) << output;
  EXPECT_TRUE(Has("Parameters (33")) << output;
  EXPECT_TRUE(Has("33=0")) << output;
  EXPECT_TRUE(Has("BLOB: ok (112292 bytes")) << output;
  EXPECT_FALSE(Has("note:")) << output;

  EXPECT_EQ(Run("delete-device 1.1.6"), 0) << output;
  EXPECT_EQ(Run("delete-device 1.1.6"), 1);
  EXPECT_EQ(Run("show 1.1.6"), 1);
}

TEST_F(ProjectCli, BlobsAreExportedImportedAndJudged) {
  ASSERT_EQ(Run("init"), 0);
  AddBare("1.1.5");
  AddBare("1.1.6");
  std::string good = home.Path() + "/good.bin", back = home.Path() + "/back.bin";
  WriteBytes(good, Blob());
  EXPECT_EQ(Run("blob 1.1.5 --export " + back), 1);
  EXPECT_TRUE(Has("no BLOB")) << output;
  EXPECT_FALSE(win::FileExists(back));

  EXPECT_EQ(Run("blob 1.1.5 --import " + good), 0) << output;
  ASSERT_EQ(Run("list"), 0);
  EXPECT_TRUE(Has("ok (112292 bytes, version 0x00010000)")) << output;
  ASSERT_EQ(Run("show 1.1.5"), 0);
  EXPECT_TRUE(Has("Used messages: 1")) << output;
  // Device codes in the fonts' code page; a control and a gap of it as dots.
  EXPECT_TRUE(Has("slot  3: receive type  3, send type  8, text \"Temp.rature °C ä€.")) << output;
  EXPECT_EQ(Run("blob 1.1.5 --export " + back), 0) << output;
  std::vector<uint8_t> exported;
  ASSERT_EQ(win::ReadWholeFile(back, exported), ERROR_SUCCESS);
  EXPECT_EQ(exported, Blob());

  std::string shortBlob = home.Path() + "/short.bin", oldBlob = home.Path() + "/old.bin";
  WriteBytes(shortBlob, Blob(0x00010000, 112291));
  WriteBytes(oldBlob, Blob(0x00010001));
  // What the plug-in would refuse is stored only when forced.
  EXPECT_EQ(Run("blob 1.1.6 --import " + shortBlob + " --force"), 0) << output;
  EXPECT_EQ(Run("blob 1.1.5 --import " + oldBlob + " --force"), 0) << output;
  ASSERT_EQ(Run("list"), 0);
  EXPECT_TRUE(Has("invalid (112291 bytes, expected 112292)")) << output;
  EXPECT_TRUE(Has("invalid (version 0x00010001, expected 0x00010000)")) << output;

  EXPECT_EQ(Run("blob 1.1.5 --import " + home.Path() + "/missing.bin"), 1);
  EXPECT_EQ(Run("blob 1.1.5"), 2);
  EXPECT_EQ(Run("blob 1.1.5 --import a --export b"), 2);

  // Kept data is found by the device added next at the address.
  EXPECT_EQ(Run("delete-device 1.1.5 --keep-data"), 0);
  AddBare("1.1.5");
  ASSERT_EQ(Run("list"), 0);
  EXPECT_TRUE(Has("invalid (version 0x00010001")) << output;
  EXPECT_EQ(Run("delete-device 1.1.5"), 0);
  AddBare("1.1.5");
  ASSERT_EQ(Run("show 1.1.5"), 0);
  EXPECT_TRUE(Has("BLOB: none")) << output;
}

}  // namespace

namespace {

class DeviceSetup : public ProjectCli {
 protected:
  void SetUp() override {
    ASSERT_EQ(Run("init"), 0) << output;
    ASSERT_EQ(Run("register"), 0) << output;
  }
  void SetFirstParameter(const std::string& address, int32_t value) {
    host::PhysicalAddress a;
    ASSERT_TRUE(host::ParsePhysicalAddress(address, &a));
    host::Project p = host::Project::Open(ProjectPath());
    host::StoredValue v;
    v.vt = VT_I4;
    v.data = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    p.SetParameterValue(*p.ParameterAt(p.DeviceAt(a), 1), v);
  }
  std::vector<uint8_t> FirstParameter(const std::string& address) {
    host::PhysicalAddress a;
    EXPECT_TRUE(host::ParsePhysicalAddress(address, &a));
    host::Project p = host::Project::OpenReadOnly(ProjectPath());
    return p.ParameterValue(*p.ParameterAt(p.DeviceAt(a), 1)).data;
  }
  std::string Script() {
    std::string path = home.Path() + "/ok.ui";
    std::ofstream(path) << "ok\n";
    return path;
  }
};

// A device and its configuration are added together; a failing plug-in (a
// corrupt registry among others) leaves nothing behind.
TEST_F(DeviceSetup, AFailedAddLeavesNoDevice) {
  const std::string hive = home.Path() + "/registry/HKCR.reg";
  std::vector<uint8_t> good;
  ASSERT_EQ(win::ReadWholeFile(hive, good), ERROR_SUCCESS);
  WriteBytes(hive, std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2));
  EXPECT_EQ(Run("add-device 1.1.5 --name Hall"), 1);
  EXPECT_TRUE(Has("the registry file " + hive + " is corrupt: line")) << output;
  EXPECT_TRUE(Has("the device was not added")) << output;
  EXPECT_FALSE(Has("run 'dx47x-host register'")) << output;  // registering would not mend it
  // Every command that looks classes up names the file and the line.
  EXPECT_EQ(Run("info"), 1);
  EXPECT_TRUE(Has("cannot read the registered classes: the registry file " + hive + " is corrupt: line"))
      << output;
  WriteBytes(hive, good);
  ASSERT_EQ(Run("list"), 0) << output;
  EXPECT_TRUE(Has("0 devices")) << output;

  // Copying a device that has no configuration is refused before the plug-in runs.
  AddBare("1.1.7");
  EXPECT_EQ(Run("add-device 1.1.8 --copy-of 1.1.7"), 1);
  EXPECT_TRUE(Has("cannot copy device 1.1.7: device 1.1.7 has no configuration")) << output;
  ASSERT_EQ(Run("list"), 0) << output;
  EXPECT_FALSE(Has("1.1.8")) << output;
}

// A device without configuration is named as such, and adding it again sets
// it up in place: same row, new configuration, optionally a copy's.
TEST_F(DeviceSetup, ADeviceWithoutConfigurationIsReportedAndSetUpAgain) {
  AddBare("1.1.7");
  ASSERT_EQ(Run("list"), 0) << output;
  EXPECT_TRUE(Has("note: device 1.1.7 has no configuration (add it again or import a BLOB)")) << output;
  ASSERT_EQ(Run("show 1.1.7"), 0) << output;
  EXPECT_TRUE(Has("note: device 1.1.7 has no configuration")) << output;
  EXPECT_EQ(Run("edit 1.1.7 --script " + Script()), 1);
  EXPECT_TRUE(Has("dx47x-host: device 1.1.7 has no configuration (add it again or import a BLOB)")) << output;
  EXPECT_FALSE(Has("0x80070567")) << output;

  EXPECT_EQ(Run("add-device 1.1.7 --name Kitchen"), 0) << output;
  EXPECT_TRUE(Has("set up device 1.1.7 again")) << output;
  EXPECT_EQ(StoredBlob("1.1.7").size(), 112292u);
  ASSERT_EQ(Run("list"), 0) << output;
  EXPECT_TRUE(Has("1 device")) << output;
  EXPECT_TRUE(Has("1.1.7       Kitchen")) << output;
  EXPECT_FALSE(Has("note:")) << output;
  EXPECT_EQ(Run("add-device 1.1.7"), 1);
  EXPECT_TRUE(Has("already taken")) << output;
  EXPECT_EQ(Run("edit 1.1.7 --script " + Script()), 0) << output;

  // Set up again as a copy: the source's BLOB and parameter values.
  const std::string good = home.Path() + "/good.bin";
  WriteBytes(good, Blob());
  ASSERT_EQ(Run("blob 1.1.7 --import " + good), 0) << output;
  SetFirstParameter("1.1.7", 7);
  AddBare("1.1.9");
  EXPECT_EQ(Run("add-device 1.1.9 --copy-of 1.1.7"), 0) << output;
  EXPECT_EQ(StoredBlob("1.1.9"), Blob());
  EXPECT_EQ(FirstParameter("1.1.9"), (std::vector<uint8_t>{7, 0, 0, 0}));

  // When the plug-in fails, the device stays as it was.
  AddBare("1.1.10");
  ASSERT_EQ(Run("register --unregister"), 0) << output;
  EXPECT_EQ(Run("add-device 1.1.10 --name Other"), 1);
  EXPECT_TRUE(Has("the device is left as it was")) << output;
  ASSERT_EQ(Run("list"), 0) << output;
  EXPECT_TRUE(Has("note: device 1.1.10 has no configuration")) << output;
  EXPECT_FALSE(Has("Other")) << output;
}

// What the plug-in would refuse is said before it runs, with the sizes and
// versions found, instead of the plug-in's bare codes.
TEST_F(DeviceSetup, ARefusedConfigurationIsNamedBeforeThePluginRuns) {
  ASSERT_EQ(Run("add-device 1.1.5"), 0) << output;
  const std::string small = home.Path() + "/small.bin", newer = home.Path() + "/newer.bin";
  WriteBytes(small, std::vector<uint8_t>(100, 0));
  WriteBytes(newer, Blob(0x00010001));
  ASSERT_EQ(Run("blob 1.1.5 --import " + small + " --force"), 0) << output;
  EXPECT_EQ(Run("edit 1.1.5 --script " + Script()), 1);
  EXPECT_TRUE(Has("device 1.1.5: the stored configuration is 100 bytes, not 112292")) << output;
  EXPECT_TRUE(Has("'blob 1.1.5 --restore-previous'")) << output;
  EXPECT_FALSE(Has("0x8000FFFF")) << output;
  ASSERT_EQ(Run("list"), 0) << output;
  EXPECT_TRUE(Has("note: device 1.1.5: the stored configuration is 100 bytes, not 112292")) << output;

  ASSERT_EQ(Run("blob 1.1.5 --import " + newer + " --force"), 0) << output;
  EXPECT_EQ(Run("edit 1.1.5 --script " + Script()), 1);
  EXPECT_TRUE(Has("has version 0x00010001, not 0x00010000")) << output;
}

// A program that read the configuration before the editor (another
// program) saved it cannot write back what it read; nor after an import.
TEST_F(DeviceSetup, AnEditSavedMeanwhileIsNotOverwritten) {
  ASSERT_EQ(Run("add-device 1.1.5"), 0) << output;
  host::Project project = host::Project::Open(ProjectPath());
  com::ComPtr<IDevice> download;
  ASSERT_EQ(host::MakeDeviceObject(project, project.DeviceAt({1, 1, 5}), &download), S_OK);
  std::vector<uint8_t> atStart;
  ASSERT_EQ(host::ReadExtDataBytes(download.Get(), dx47x::blob::kKeyWide, &atStart), S_OK);

  ASSERT_EQ(Run("edit 1.1.5 --script " + Script()), 0) << output;
  const std::vector<uint8_t> saved = StoredBlob("1.1.5");
  atStart[100] ^= 1;
  EXPECT_EQ(host::WriteExtDataBytes(download.Get(), dx47x::blob::kKeyWide, atStart.data(), atStart.size()),
            host::PROJECT_E_CONFIGURATION_CHANGED);
  EXPECT_EQ(StoredBlob("1.1.5"), saved);

  com::ComPtr<IDevice> other;
  ASSERT_EQ(host::MakeDeviceObject(project, project.DeviceAt({1, 1, 5}), &other), S_OK);
  ASSERT_EQ(host::ReadExtDataBytes(other.Get(), dx47x::blob::kKeyWide, &atStart), S_OK);
  const std::string good = home.Path() + "/good.bin";
  WriteBytes(good, Blob());
  ASSERT_EQ(Run("blob 1.1.5 --import " + good), 0) << output;
  EXPECT_EQ(host::WriteExtDataBytes(other.Get(), dx47x::blob::kKeyWide, atStart.data(), atStart.size()),
            host::PROJECT_E_CONFIGURATION_CHANGED);
  EXPECT_EQ(StoredBlob("1.1.5"), Blob());
}

// An import refuses a file the plug-in would refuse unless forced; the BLOB
// an import replaces is kept and brought back by --restore-previous.
TEST_F(ProjectCli, ImportKeepsThePreviousBlobAndRefusesWhatThePluginWouldRefuse) {
  ASSERT_EQ(Run("init"), 0) << output;
  AddBare("1.1.5");
  AddBare("1.1.6");
  const std::string good = home.Path() + "/good.bin", other = home.Path() + "/other.bin",
                    shortBlob = home.Path() + "/short.bin", newer = home.Path() + "/newer.bin",
                    empty = home.Path() + "/empty.bin";
  std::vector<uint8_t> otherBytes = Blob();
  otherBytes[14 + 69 + 236 * 2 + 2] = 'X';
  WriteBytes(good, Blob());
  WriteBytes(other, otherBytes);
  WriteBytes(shortBlob, Blob(0x00010000, 112291));
  WriteBytes(newer, Blob(0x00020000));
  WriteBytes(empty, {});

  // Nothing was replaced yet: there is nothing to bring back.
  EXPECT_EQ(Run("blob 1.1.5 --import " + good), 0) << output;
  EXPECT_EQ(Run("blob 1.1.5 --restore-previous"), 1);
  EXPECT_TRUE(Has("has no previous BLOB")) << output;
  EXPECT_EQ(StoredBlob("1.1.5"), Blob());

  for (const auto& [file, why] :
       {std::pair<std::string, std::string>{shortBlob, "is 112291 bytes, not 112292"},
        {newer, "has version 0x00020000, not 0x00010000"},
        {empty, "is 0 bytes, not 112292"}}) {
    EXPECT_EQ(Run("blob 1.1.5 --import " + file), 1) << file;
    EXPECT_TRUE(Has(why)) << output;
    EXPECT_TRUE(Has("nothing was changed (--force stores it anyway)")) << output;
    EXPECT_EQ(StoredBlob("1.1.5"), Blob()) << file;
  }
  EXPECT_EQ(Run("blob 1.1.5 --import " + home.Path()), 1);  // a folder
  EXPECT_TRUE(Has("cannot read")) << output;

  // The previous BLOB comes back; a second restore undoes the first.
  EXPECT_EQ(Run("blob 1.1.5 --import " + other), 0) << output;
  EXPECT_EQ(Run("blob 1.1.5 --restore-previous"), 0) << output;
  EXPECT_TRUE(Has("brought back the previous BLOB of device 1.1.5: ok")) << output;
  EXPECT_EQ(StoredBlob("1.1.5"), Blob());
  EXPECT_EQ(Run("blob 1.1.5 --restore-previous"), 0) << output;
  EXPECT_EQ(StoredBlob("1.1.5"), otherBytes);
  // A forced import of a bad file can be undone the same way.
  EXPECT_EQ(Run("blob 1.1.5 --import " + shortBlob + " --force"), 0) << output;
  EXPECT_EQ(StoredBlob("1.1.5").size(), 112291u);
  EXPECT_EQ(Run("blob 1.1.5 --restore-previous"), 0) << output;
  EXPECT_EQ(StoredBlob("1.1.5"), otherBytes);
  EXPECT_EQ(Run("blob 1.1.6 --restore-previous"), 1);  // each device has its own

  // The previous BLOB goes with the data of a deleted device, unless kept.
  EXPECT_EQ(Run("delete-device 1.1.5 --keep-data"), 0) << output;
  AddBare("1.1.5");
  EXPECT_EQ(Run("blob 1.1.5 --restore-previous"), 0) << output;
  EXPECT_EQ(Run("delete-device 1.1.5"), 0) << output;
  AddBare("1.1.5");
  EXPECT_EQ(Run("blob 1.1.5 --restore-previous"), 1) << output;

  EXPECT_EQ(Run("blob 1.1.5 --export " + good + " --force"), 2);
  EXPECT_EQ(Run("blob 1.1.5 --restore-previous --import " + good), 2);
  EXPECT_EQ(Run("blob 1.1.5 --force"), 2);
}

}  // namespace
