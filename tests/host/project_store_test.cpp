// The project file: creation, opening, addresses, topology, transactions.
#include <fstream>

#include "com/errorinfo.h"
#include "hostapi/dx47x_blob.h"
#include "project_fixture.h"
#include "win/file.h"

namespace projecttest {
namespace {

TEST(ProjectAddresses, PhysicalAndGroupAddressesParseOnlyTheirRanges) {
  host::PhysicalAddress a;
  EXPECT_TRUE(host::ParsePhysicalAddress("15.15.255", &a));
  EXPECT_EQ(a, (host::PhysicalAddress{15, 15, 255}));
  EXPECT_EQ(a.ToString(), "15.15.255");
  for (const char* bad :
       {"16.1.1", "1.16.1", "1.1.256", "1.1", "1.1.1.1", "1..1", "a.1.1", "-1.1.1", "1.1.1 ", ""})
    EXPECT_FALSE(host::ParsePhysicalAddress(bad, &a)) << bad;

  uint16_t ga = 0;
  EXPECT_TRUE(host::ParseGroupAddress("1/2/3", &ga));
  EXPECT_EQ(ga, (1 << 11) | (2 << 8) | 3);
  EXPECT_TRUE(host::ParseGroupAddress("31/7/255", &ga));
  EXPECT_EQ(ga, 0xFFFF);
  EXPECT_EQ(host::GroupAddressText(0xFFFF), "31/7/255");
  for (const char* bad : {"32/0/0", "0/8/0", "0/0/256", "1/2", "1.2.3", "1/2/3/4"})
    EXPECT_FALSE(host::ParseGroupAddress(bad, &ga)) << bad;
}

TEST(ProjectFile, CreateRefusesAnExistingFileAndOpenRefusesOthers) {
  testsupport::TempDir dir;
  std::string path = dir.File("sub/folder/p.db");
  {
    host::Project p = host::Project::Create(path, "Mine");
    EXPECT_EQ(p.Name(), "Mine");
  }
  try {
    host::Project::Create(path, "Other");
    FAIL() << "an existing project was overwritten";
  } catch (const host::ProjectError& e) {
    EXPECT_EQ(e.Code(), HRESULT_FROM_WIN32(ERROR_FILE_EXISTS));
  }
  host::Project reopened = host::Project::Open(path);
  EXPECT_EQ(reopened.Name(), "Mine");
  host::Statement mode(reopened.Store(), "PRAGMA journal_mode");
  ASSERT_TRUE(mode.Step());
  EXPECT_EQ(mode.Text(0), "wal");

  auto codeOf = [](const std::string& p) {
    try {
      host::Project::Open(p);
    } catch (const host::ProjectError& e) {
      return e.Code();
    }
    return S_OK;
  };
  EXPECT_EQ(codeOf(dir.File("missing.db")), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(win::FileExists(dir.File("missing.db"))) << "opening must not create a file";
  std::ofstream(dir.File("text.db")) << "this is no database at all, just some text\n";
  EXPECT_EQ(codeOf(dir.File("text.db")), HRESULT_FROM_WIN32(ERROR_BAD_FORMAT));
  std::ofstream(dir.File("empty.db"));
  EXPECT_EQ(codeOf(dir.File("empty.db")), HRESULT_FROM_WIN32(ERROR_BAD_FORMAT));
}

TEST_F(ProjectTest, DevicesKeepTheirTopologyAndAddressesAreUnique) {
  int64_t a = Add("1.1.5");
  int64_t b = Add("1.2.5");
  int64_t c = Add("0.0.0");
  EXPECT_EQ(project.AddressOf(b), Addr("1.2.5"));
  EXPECT_EQ(project.FindDevice(Addr("1.1.5")), a);
  EXPECT_FALSE(project.FindDevice(Addr("1.1.6")).has_value());
  try {
    Add("1.2.5");
    FAIL() << "a taken address was accepted";
  } catch (const host::ProjectError& e) {
    EXPECT_EQ(e.Code(), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
  }
  std::vector<host::DeviceSummary> all = project.Devices();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].id, c);  // ordered by address
  EXPECT_EQ(all[1].id, a);
  EXPECT_EQ(all[2].id, b);

  // Through the object model: device number, line, area.
  com::ComPtr<IDevice> d = Device(b);
  com::Variant v;
  ASSERT_EQ(d->get_Address(&v), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 5);
  com::ComPtr<ILine> line;
  ASSERT_EQ(d->get_Line(&line), S_OK);
  ASSERT_EQ(line->get_Address(&v), S_OK);
  EXPECT_EQ(v.lVal, 2);
  com::ComPtr<IArea> area;
  ASSERT_EQ(line->get_Parent(&area), S_OK);
  ASSERT_EQ(area->get_Address(&v), S_OK);
  EXPECT_EQ(v.lVal, 1);
}

TEST_F(ProjectTest, DataSurvivesReopeningAndObjectsKeepTheStoreOpen) {
  int64_t id = Add("1.1.5");
  com::ComPtr<IDeviceExtData> ext = ExtData(id);
  ASSERT_EQ(WriteExt(ext.Get(), dx47x::blob::kKeyWide, ByteArray(1000, 3)), S_OK);
  ASSERT_EQ(Device(id)->put_ParametersLoaded(1), S_OK);

  // The object holds the store after the project handle is gone.
  project = host::Project(nullptr);
  EXPECT_EQ(BytesOf(ReadExt(ext.Get(), dx47x::blob::kKeyWide)), BytesOf(ByteArray(1000, 3)));
  ext = nullptr;

  host::Project reopened = host::Project::Open(path);
  EXPECT_TRUE(reopened.ParametersLoaded(id));
  com::ComPtr<IDevice> d;
  ASSERT_EQ(host::MakeDeviceObject(reopened, id, &d), S_OK);
  com::ComPtr<IDeviceExtData> ext2;
  ASSERT_EQ(d.As(&ext2), S_OK);
  EXPECT_EQ(BytesOf(ReadExt(ext2.Get(), dx47x::blob::kKeyWide)), BytesOf(ByteArray(1000, 3)));
}

TEST_F(ProjectTest, AFailedWriteLeavesThePreviousValue) {
  int64_t id = Add("1.1.5");
  com::ComPtr<IDeviceExtData> ext = ExtData(id);
  ASSERT_EQ(WriteExt(ext.Get(), dx47x::blob::kKeyWide, ByteArray(112292, 1)), S_OK);

  // Another writer holds the project: the write times out and changes nothing.
  {
    host::Project other(host::ProjectStore::Open(path, 50));
    host::Transaction hold(other.Store());
    host::Project impatient(host::ProjectStore::Open(path, 50));
    com::ComPtr<IDevice> d;
    ASSERT_EQ(host::MakeDeviceObject(impatient, id, &d), S_OK);
    com::ComPtr<IDeviceExtData> e2;
    ASSERT_EQ(d.As(&e2), S_OK);
    EXPECT_EQ(WriteExt(e2.Get(), dx47x::blob::kKeyWide, ByteArray(112292, 2)),
              HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION));
    com::ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    com::Bstr text;
    info->GetDescription(&text);
    EXPECT_NE(text.ToUtf8().find("locked"), std::string::npos) << text.ToUtf8();
  }
  EXPECT_EQ(BytesOf(ReadExt(ext.Get(), dx47x::blob::kKeyWide)), BytesOf(ByteArray(112292, 1)));

  // A failure inside the transaction rolls the whole write back.
  project.Store().Exec(
      "CREATE TRIGGER refuse AFTER UPDATE ON ext_data BEGIN SELECT RAISE(ABORT, 'injected'); END;");
  EXPECT_TRUE(FAILED(WriteExt(ext.Get(), dx47x::blob::kKeyWide, ByteArray(112292, 9))));
  EXPECT_EQ(BytesOf(ReadExt(ext.Get(), dx47x::blob::kKeyWide)), BytesOf(ByteArray(112292, 1)));

  // The same for a parameter value.
  project.Store().Exec(
      "CREATE TRIGGER refuse2 AFTER UPDATE ON parameters BEGIN SELECT RAISE(ABORT, 'no'); END;");
  com::ComPtr<IDeviceParameters> params;
  ASSERT_EQ(Device(id)->get_DeviceParameters(&params), S_OK);
  com::ComPtr<IDeviceParameter> p;
  ASSERT_EQ(params->get_Item(com::Variant(int32_t(1)), &p), S_OK);
  EXPECT_TRUE(FAILED(p->put_Value(com::Variant(int32_t(5)))));
  com::Variant v;
  ASSERT_EQ(p->get_Value(&v), S_OK);
  EXPECT_EQ(v.lVal, 0);
}

TEST_F(ProjectTest, DeletingKeepsExtensionDataOnlyWhenAsked) {
  int64_t id = Add("1.1.5");
  Add("1.1.6");
  ASSERT_EQ(WriteExt(ExtData(id).Get(), dx47x::blob::kKeyWide, ByteArray(64, 5)), S_OK);
  com::ComPtr<IDevice> stale = Device(id);

  project.DeleteDevice(id, true);
  EXPECT_FALSE(project.FindDevice(Addr("1.1.5")));
  BSTR name = nullptr;
  EXPECT_EQ(stale->get_Name(&name), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
  int64_t again = Add("1.1.5");
  EXPECT_EQ(BytesOf(ReadExt(ExtData(again).Get(), dx47x::blob::kKeyWide)), BytesOf(ByteArray(64, 5)));

  project.DeleteDevice(again, false);
  int64_t fresh = Add("1.1.5");
  EXPECT_EQ(ReadExt(ExtData(fresh).Get(), dx47x::blob::kKeyWide).vt, VT_NULL);
  EXPECT_EQ(project.Devices().size(), 2u);
}

}  // namespace
}  // namespace projecttest

namespace projecttest {
namespace {

// A table dropped behind an open project: the next use says what is wrong
// and where, through the objects too, instead of an unspecified error.
TEST_F(ProjectTest, ATableDroppedWhileOpenIsNamed) {
  int64_t id = Add("1.1.5");
  com::ComPtr<IDeviceExtData> ext = ExtData(id);
  host::Project::Open(path).Store().Exec("DROP TABLE ext_data;");
  HRESULT hr = S_OK;
  ReadExt(ext.Get(), dx47x::blob::kKeyWide, &hr);
  EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  com::ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  com::Bstr text;
  info->GetDescription(&text);
  EXPECT_NE(text.ToUtf8().find("the project " + path + " is damaged: no such table: ext_data"),
            std::string::npos)
      << text.ToUtf8();
}

}  // namespace
}  // namespace projecttest
