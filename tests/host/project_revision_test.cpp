// Device revisions: a write of the configuration based on what was read
// before another write came in fails and leaves the other write; the layout
// that brings them, nested transactions, and what the plug-in would refuse.
#include "com/errorinfo.h"
#include "host/project_blob.h"
#include "host/project_errors.h"
#include "hostapi/dx47x_blob.h"
#include "project_fixture.h"

namespace projecttest {
namespace {

std::string ErrorDescription() {
  com::ComPtr<IErrorInfo> info;
  com::Bstr text;
  if (GetErrorInfo(0, &info) == S_OK && info) info->GetDescription(&text);
  return text.ToUtf8();
}

com::ComPtr<IDeviceParameter> Parameter(IDevice* device, int32_t position) {
  com::ComPtr<IDeviceParameters> params;
  EXPECT_EQ(device->get_DeviceParameters(&params), S_OK);
  com::ComPtr<IDeviceParameter> p;
  EXPECT_EQ(params->get_Item(com::Variant(position), &p), S_OK);
  return p;
}

host::StoredValue Value(int vt, std::vector<uint8_t> bounds, std::vector<uint8_t> data) {
  return host::StoredValue{static_cast<VARTYPE>(vt), std::move(bounds), std::move(data)};
}

int32_t ValueOf(IDeviceParameter* p) {
  com::Variant v;
  EXPECT_EQ(p->get_Value(&v), S_OK);
  return v.lVal;
}

class Revisions : public ProjectTest {
 protected:
  Revisions() : id(Add("1.1.5")) {
    EXPECT_EQ(WriteExt(ExtData(id).Get(), dx47x::blob::kKeyWide, ByteArray(112292, 1)), S_OK);
  }
  com::ComPtr<IDeviceExtData> Ext(const com::ComPtr<IDevice>& d) {
    com::ComPtr<IDeviceExtData> ext;
    EXPECT_EQ(d.As(&ext), S_OK);
    return ext;
  }
  std::vector<uint8_t> Stored() { return project.ReadExtData(id, dx47x::blob::kKey)->data; }

  int64_t id;
};

// The lost update: an editor and a download read the BLOB; the editor saves;
// the download's write of what it read at its start fails.
TEST_F(Revisions, AWriteAfterAnotherWriteSinceTheReadFails) {
  com::ComPtr<IDeviceExtData> download = ExtData(id), editor = ExtData(id);
  ReadExt(download.Get(), dx47x::blob::kKeyWide);
  ReadExt(editor.Get(), dx47x::blob::kKeyWide);
  ASSERT_EQ(WriteExt(editor.Get(), dx47x::blob::kKeyWide, ByteArray(112292, 2)), S_OK);
  EXPECT_EQ(WriteExt(download.Get(), dx47x::blob::kKeyWide, ByteArray(112292, 3)),
            host::PROJECT_E_CONFIGURATION_CHANGED);
  EXPECT_EQ(ErrorDescription(),
            "the configuration of device 1.1.5 was changed by another program since it was read; "
            "nothing was saved");
  EXPECT_EQ(Stored(), BytesOf(ByteArray(112292, 2)));
  // It keeps failing: the object still holds what it read first.
  EXPECT_EQ(WriteExt(download.Get(), dx47x::blob::kKeyWide, ByteArray(112292, 3)),
            host::PROJECT_E_CONFIGURATION_CHANGED);
  // The editor's own next writes are no conflict.
  EXPECT_EQ(WriteExt(editor.Get(), dx47x::blob::kKeyWide, ByteArray(112292, 4)), S_OK);
  EXPECT_EQ(WriteExt(editor.Get(), dx47x::blob::kKeyWide, ByteArray(112292, 5)), S_OK);
  EXPECT_EQ(Stored(), BytesOf(ByteArray(112292, 5)));
}

// As two programs on one file: two connections.
TEST_F(Revisions, TwoProjectsOnOneFileSeeEachOthersWrites) {
  host::Project other = host::Project::Open(path);
  com::ComPtr<IDevice> mine = Device(id), theirs;
  ASSERT_EQ(host::MakeDeviceObject(other, id, &theirs), S_OK);
  ReadExt(Ext(mine).Get(), dx47x::blob::kKeyWide);
  ReadExt(Ext(theirs).Get(), dx47x::blob::kKeyWide);
  ASSERT_EQ(WriteExt(Ext(theirs).Get(), dx47x::blob::kKeyWide, ByteArray(112292, 7)), S_OK);
  EXPECT_EQ(WriteExt(Ext(mine).Get(), dx47x::blob::kKeyWide, ByteArray(112292, 8)),
            host::PROJECT_E_CONFIGURATION_CHANGED);
  EXPECT_EQ(Stored(), BytesOf(ByteArray(112292, 7)));
  EXPECT_EQ(project.Revision(id), other.Revision(id));
}

// The plug-in writes the parameters before the BLOB and reads each one just
// before writing it: that read must not make a stale record current again.
TEST_F(Revisions, ParametersAreCheckedAgainstTheRecordReadAndTheirReadsDoNotRenewIt) {
  com::ComPtr<IDevice> download = Device(id), editor = Device(id);
  ReadExt(Ext(download).Get(), dx47x::blob::kKeyWide);
  com::ComPtr<IDeviceParameter> p = Parameter(download.Get(), 3);
  ASSERT_EQ(Parameter(editor.Get(), 3)->put_Value(com::Variant(int32_t(9))), S_OK);
  EXPECT_EQ(ValueOf(p.Get()), 9);  // reads the new value ...
  EXPECT_EQ(p->put_Value(com::Variant(int32_t(4))), host::PROJECT_E_CONFIGURATION_CHANGED);
  EXPECT_EQ(ValueOf(Parameter(Device(id).Get(), 3).Get()), 9);  // ... and leaves it
  EXPECT_EQ(WriteExt(Ext(download).Get(), dx47x::blob::kKeyWide, ByteArray(112292, 3)),
            host::PROJECT_E_CONFIGURATION_CHANGED);
  EXPECT_EQ(Stored(), BytesOf(ByteArray(112292, 1)));

  // A BLOB written through a device is no conflict for its parameters, and
  // the other way round, as the plug-in's save writes both.
  com::ComPtr<IDevice> saver = Device(id);
  ReadExt(Ext(saver).Get(), dx47x::blob::kKeyWide);
  ASSERT_EQ(Parameter(saver.Get(), 1)->put_Value(com::Variant(int32_t(1))), S_OK);
  ASSERT_EQ(Parameter(saver.Get(), 2)->put_Value(com::Variant(int32_t(2))), S_OK);
  ASSERT_EQ(WriteExt(Ext(saver).Get(), dx47x::blob::kKeyWide, ByteArray(112292, 6)), S_OK);
  ASSERT_EQ(Parameter(saver.Get(), 1)->put_Value(com::Variant(int32_t(3))), S_OK);
}

// Reading the record again takes the new revision: that reader holds it.
TEST_F(Revisions, ReadingTheRecordAgainAllowsTheNextWrite) {
  com::ComPtr<IDeviceExtData> slow = ExtData(id);
  ReadExt(slow.Get(), dx47x::blob::kKeyWide);
  project.WriteExtData(id, dx47x::blob::kKey,
                       Value(VT_ARRAY | VT_UI1, {0, 0, 0, 0, 4, 0, 0, 0}, {1, 2, 3, 4}));
  EXPECT_EQ(WriteExt(slow.Get(), dx47x::blob::kKeyWide, ByteArray(112292, 2)),
            host::PROJECT_E_CONFIGURATION_CHANGED);
  EXPECT_EQ(BytesOf(ReadExt(slow.Get(), dx47x::blob::kKeyWide)), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(WriteExt(slow.Get(), dx47x::blob::kKeyWide, ByteArray(112292, 2)), S_OK);
}

// A write before any read does not depend on what was there (the plug-in
// writes a copied device's BLOB so); a parameter read alone counts as a read.
TEST_F(Revisions, WritesWithoutAReadAreUnconditionalAndAParameterReadCounts) {
  com::ComPtr<IDevice> blind = Device(id);
  project.WriteExtData(id, "other", Value(VT_I4, {}, {1, 0, 0, 0}));
  EXPECT_EQ(WriteExt(Ext(blind).Get(), dx47x::blob::kKeyWide, ByteArray(112292, 9)), S_OK);
  EXPECT_EQ(Stored(), BytesOf(ByteArray(112292, 9)));

  com::ComPtr<IDevice> reader = Device(id);
  com::ComPtr<IDeviceParameter> p = Parameter(reader.Get(), 1);
  ValueOf(p.Get());
  project.WriteExtData(id, dx47x::blob::kKey, Value(VT_NULL, {}, {}));
  EXPECT_EQ(p->put_Value(com::Variant(int32_t(5))), host::PROJECT_E_CONFIGURATION_CHANGED);
}

// Each write counts one up; descriptive data and the loaded flag do not count.
TEST_F(Revisions, RevisionsCountConfigurationWritesOnly) {
  const int64_t start = project.Revision(id);
  EXPECT_EQ(project.WriteExtData(id, dx47x::blob::kKey, Value(VT_NULL, {}, {})), start + 1);
  int64_t parameter = *project.ParameterAt(id, 2);
  EXPECT_EQ(project.SetParameterValue(parameter, Value(VT_I4, {}, {3, 0, 0, 0})), start + 2);
  project.SetName(id, "Hall");
  project.SetParametersLoaded(id, true);
  EXPECT_EQ(project.Revision(id), start + 2);
  EXPECT_THROW(project.SetParameterValue(parameter, Value(VT_I4, {}, {4, 0, 0, 0}), start),
               host::ProjectError);
  EXPECT_EQ(project.Revision(id), start + 2);
  EXPECT_EQ(project.ParameterValue(parameter).data, (std::vector<uint8_t>{3, 0, 0, 0}));
  int64_t revision = -1;
  project.ReadExtData(id, dx47x::blob::kKey, &revision);
  EXPECT_EQ(revision, start + 2);
  project.ParameterValue(parameter, &revision);
  EXPECT_EQ(revision, start + 2);
  // A new device starts at 0.
  EXPECT_EQ(project.Revision(Add("1.1.6")), 0);
}

// A project of layout 2 (before revisions) opens: for reading as it is, for
// writing brought up to date with its data.
TEST(ProjectLayout, AnOlderProjectIsReadAsItIsAndUpgradedWhenWritten) {
  testsupport::TempDir dir;
  const std::string path = dir.File("old.db");
  int64_t id = 0;
  {
    host::Project p = host::Project::Create(path, "Old");
    id = p.AddDevice({1, 1, 5}, host::Dx47xDeviceTemplate());
    p.WriteExtData(id, dx47x::blob::kKey, Value(VT_I4, {}, {5, 0, 0, 0}));
    p.Store().Exec(
        "ALTER TABLE devices DROP COLUMN revision; DROP TABLE ext_data_previous; "
        "PRAGMA user_version = 2;");
  }
  {
    host::Project reading = host::Project::OpenReadOnly(path);
    EXPECT_EQ(reading.Store().Layout(), 2);
    EXPECT_EQ(reading.Revision(id), 0);
    EXPECT_EQ(reading.ReadExtData(id, dx47x::blob::kKey)->data, (std::vector<uint8_t>{5, 0, 0, 0}));
    EXPECT_FALSE(reading.PreviousExtData(id, dx47x::blob::kKey));
    EXPECT_THROW(reading.SetName(id, "x"), host::ProjectError);
  }
  {
    host::Project reading = host::Project::OpenReadOnly(path);
    host::Statement v(reading.Store(), "PRAGMA user_version");
    ASSERT_TRUE(v.Step());
    EXPECT_EQ(v.Int(0), 2) << "reading must not change the file";
  }
  host::Project p = host::Project::Open(path);
  EXPECT_EQ(p.Store().Layout(), host::kProjectSchemaVersion);
  EXPECT_EQ(p.Revision(id), 0);
  EXPECT_EQ(p.WriteExtData(id, dx47x::blob::kKey, Value(VT_I4, {}, {6, 0, 0, 0})), 1);
  // A second program opening the upgraded file does not upgrade it again.
  host::Project again = host::Project::Open(path);
  EXPECT_EQ(again.Revision(id), 1);
}

TEST_F(ProjectTest, NestedTransactionsKeepTheirChangesOnlyWithTheOuterOne) {
  int64_t id = Add("1.1.5");
  {
    host::Transaction outer(project.Store());
    project.SetName(id, "Inner");  // a transaction of its own, nested
    EXPECT_EQ(project.DataOf(id).name, "Inner");
  }  // rolled back
  EXPECT_EQ(project.DataOf(id).name, "DX 47x text display");
  EXPECT_FALSE(project.FindDevice(Addr("1.1.6")));
  {
    host::Transaction outer(project.Store());
    int64_t added = Add("1.1.6");
    EXPECT_THROW(Add("1.1.6"), host::ProjectError);  // the failed inner one alone is undone
    project.SetName(added, "Kept");
    outer.Commit();
  }
  EXPECT_EQ(project.DataOf(*project.FindDevice(Addr("1.1.6"))).name, "Kept");
  // Another connection sees nothing of an open transaction.
  host::Project other = host::Project::Open(path);
  {
    host::Transaction outer(project.Store());
    project.SetName(id, "Pending");
    EXPECT_EQ(other.DataOf(id).name, "DX 47x text display");
    outer.Commit();
  }
  EXPECT_EQ(other.DataOf(id).name, "Pending");
}

TEST_F(ProjectTest, ConfigurationProblemsSayWhatThePluginWouldRefuse) {
  int64_t id = Add("1.1.7");
  EXPECT_EQ(host::ConfigurationProblem(project, id),
            "device 1.1.7 has no configuration (add it again or import a BLOB)");
  auto blob = [](size_t n, uint32_t version) {
    host::StoredValue v =
        Value(VT_ARRAY | VT_UI1, {0, 0, 0, 0, uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), 0},
              std::vector<uint8_t>(n));
    for (size_t i = 0; i < 4 && i < n; ++i) v.data[i] = uint8_t(version >> (8 * i));
    return v;
  };
  project.WriteExtData(id, dx47x::blob::kKey, blob(112292, 0x00010000));
  EXPECT_EQ(host::ConfigurationProblem(project, id), std::nullopt);
  project.ReplaceExtData(id, dx47x::blob::kKey, blob(100, 0x00010000));
  EXPECT_EQ(host::ConfigurationProblem(project, id),
            "device 1.1.7: the stored configuration is 100 bytes, not 112292 (bring back the previous "
            "one with 'blob 1.1.7 --restore-previous', or import a valid BLOB)");
  project.WriteExtData(id, dx47x::blob::kKey, blob(112292, 0x00010001));
  EXPECT_EQ(host::ConfigurationProblem(project, id),
            "device 1.1.7: the stored configuration has version 0x00010001, not 0x00010000 (bring back "
            "the previous one with 'blob 1.1.7 --restore-previous', or import a valid BLOB)");
  // The hint appears only when the previous value is one the plug-in reads.
  project.ReplaceExtData(id, dx47x::blob::kKey, blob(3, 0));
  EXPECT_EQ(host::ConfigurationProblem(project, id),
            "device 1.1.7: the stored configuration is 3 bytes, not 112292 (import a valid BLOB)");
  host::StoredValue grid = blob(112292, 0x00010000);
  grid.bounds.insert(grid.bounds.end(), {0, 0, 0, 0, 1, 0, 0, 0});
  EXPECT_EQ(host::BlobDefect(grid), "is a 2-dimensional array, not a list of bytes");
  EXPECT_EQ(host::BlobDefect(Value(VT_BSTR, {}, {})), "is not a byte array (type 0x0008)");
  EXPECT_EQ(host::BlobDefect(Value(VT_NULL, {}, {})), std::nullopt);
  EXPECT_THROW(host::ConfigurationProblem(project, id + 100), host::ProjectError);
}

}  // namespace
}  // namespace projecttest
