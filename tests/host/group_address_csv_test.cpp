// Reading group addresses from CSV texts, importing them, and the other
// project changes the command line makes.
#include "host/group_address_csv.h"

#include "project_fixture.h"

namespace {

using host::GroupAddressCsvError;
using host::GroupAddressEntry;
using host::ParseGroupAddressCsv;

std::vector<GroupAddressEntry> Parse(const std::string& text) { return ParseGroupAddressCsv(text, "ga.csv"); }

// The message of the error a text raises, or "" when it parses.
std::string ErrorOf(const std::string& text) {
  try {
    Parse(text);
  } catch (const GroupAddressCsvError& e) {
    return e.what();
  }
  return "";
}

uint16_t Ga(int main, int middle, int sub) { return uint16_t(main << 11 | middle << 8 | sub); }

TEST(GroupAddressCsv, TheThreeSeparatorsAreDetectedFromTheHeader) {
  for (const char* text :
       {"Address,Name\n1/2/3,Light\n", "Address;Name\n1/2/3;Light\n", "Address\tName\n1/2/3\tLight\n"}) {
    std::vector<GroupAddressEntry> rows = Parse(text);
    ASSERT_EQ(rows.size(), 1u) << text;
    EXPECT_EQ(rows[0].address, Ga(1, 2, 3));
    EXPECT_EQ(rows[0].name, "Light");
    EXPECT_EQ(rows[0].line, 2);
  }
  // Commas inside the names of a ';' file stay in the names.
  std::vector<GroupAddressEntry> rows = Parse("Group name;Group address\nLight, hall;0/0/1\n");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, "Light, hall");
  EXPECT_EQ(rows[0].address, Ga(0, 0, 1));
}

TEST(GroupAddressCsv, QuotedFieldsWithEscapesSeparatorsAndLineBreaks) {
  std::vector<GroupAddressEntry> rows = Parse(
      "\xEF\xBB\xBF\"Main/Middle\",\"Group Address\",\"Name\"\r\n"
      "x,\"31/7/255\",\"Say \"\"hi\"\", then go\"\r\n"
      "y, 2/0/0 ,\"two\nlines\"\r\n"
      "\r\n"
      "z,0/0/0,  \" spaced \"  \r\n");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].address, Ga(31, 7, 255));
  EXPECT_EQ(rows[0].name, "Say \"hi\", then go");
  EXPECT_EQ(rows[1].address, Ga(2, 0, 0));
  EXPECT_EQ(rows[1].name, "two\nlines");
  EXPECT_EQ(rows[1].line, 3);
  EXPECT_EQ(rows[2].name, " spaced ");
  EXPECT_EQ(rows[2].line, 6);  // after the two-line row and a blank one
}

TEST(GroupAddressCsv, HeaderNamesAreMatchedLiberallyButMustBeThere) {
  EXPECT_EQ(Parse("GA,group_name,Comment\n1/1/1,A,ignored\n").at(0).name, "A");
  EXPECT_EQ(Parse("\n\nGROUP-ADDRESS;Group Address Name\n1/1/1;B\n").at(0).line, 4);
  EXPECT_EQ(ErrorOf("Address,Comment\n1/1/1,A\n"),
            "ga.csv:1: the header row names no name column (Name or Group name)");
  EXPECT_EQ(ErrorOf("Where,Name\n1/1/1,A\n"),
            "ga.csv:1: the header row names no address column (Address or Group address)");
  EXPECT_EQ(ErrorOf("1/1/1 Light\n"),
            "ga.csv:1: the header row must name an address and a name column, separated by "
            "',', ';' or a tab");
  EXPECT_EQ(ErrorOf(""), "ga.csv:1: the file has no header row");
  EXPECT_NE(ErrorOf("Name,Address,Name\n"), "");
  EXPECT_TRUE(Parse("Address,Name\n").empty());
}

TEST(GroupAddressCsv, MalformedRowsAreReportedWithTheirLine) {
  const std::string head = "Address,Name\n1/2/3,ok\n";
  EXPECT_EQ(ErrorOf(head + "32/0/0,bad\n"),
            "ga.csv:3: '32/0/0' is not a three-level group address (MAIN/MIDDLE/SUB: main "
            "0..31, middle 0..7, sub 0..255)");
  for (const char* bad : {"1/8/0", "1/0/256", "1/2", "1/2/3/4", "2563", "1.2.3", "a/b/c", ""})
    EXPECT_NE(ErrorOf(head + bad + ",name\n").find("ga.csv:3: '"), std::string::npos) << bad;
  EXPECT_EQ(ErrorOf(head + "1/2/4\n"),
            "ga.csv:3: the row has 1 field(s); the address and name columns need 2");
  EXPECT_EQ(ErrorOf(head + "1/2/4,\n"), "ga.csv:3: group address 1/2/4 has no name");
  EXPECT_EQ(ErrorOf(head + "\n1/2/3,again\n"),
            "ga.csv:4: group address 1/2/3 is given twice (first in line 2)");
  EXPECT_EQ(ErrorOf(head + "1/2/4,\"open\n\n"), "ga.csv:3: a quoted field is not closed");
  EXPECT_EQ(ErrorOf(head + "1/2/4,\"a\"b\n"), "ga.csv:3: text after the closing quote of a field");
}

using ProjectEdits = projecttest::ProjectTest;

TEST_F(ProjectEdits, ImportAddsAndRenamesInOneGo) {
  project.AddGroupAddress(Ga(1, 2, 3), "Old");
  project.AddGroupAddress(Ga(0, 0, 1), "Same");
  host::GroupAddressImportResult r = project.ImportGroupAddresses(
      {{Ga(1, 2, 3), "New", 2}, {Ga(0, 0, 1), "Same", 3}, {Ga(5, 0, 9), "Added", 4}});
  EXPECT_EQ(r.added, 1);
  EXPECT_EQ(r.renamed, 1);
  EXPECT_EQ(r.unchanged, 1);
  std::vector<GroupAddressEntry> all = project.GroupAddresses();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].name, "Same");
  EXPECT_EQ(all[1].name, "New");
  EXPECT_EQ(all[2].address, Ga(5, 0, 9));
}

TEST_F(ProjectEdits, DeviceDataChangesOnlyTheFieldsGiven) {
  int64_t id = Add("1.1.5");
  host::DeviceData before = project.DataOf(id);
  host::DeviceDataChange change;
  change.orderNumber = "DX-472";
  change.programName = "Program 3";
  project.SetDeviceData(id, change);
  host::DeviceData after = project.DataOf(id);
  EXPECT_EQ(after.orderNumber, "DX-472");
  EXPECT_EQ(after.programName, "Program 3");
  EXPECT_EQ(after.productName, before.productName);
  EXPECT_EQ(after.name, before.name);
  com::Bstr text;
  ASSERT_EQ(Device(id)->get_OrderNumber(&text), S_OK);
  EXPECT_EQ(text.ToUtf8(), "DX-472");
  project.DeleteDevice(id, false);
  EXPECT_THROW(project.SetDeviceData(id, change), host::ProjectError);
}

TEST_F(ProjectEdits, HidingSeveralObjectsIsAllOrNothing) {
  int64_t id = Add("1.1.5");
  project.SetCommObjectsVisible(id, {{2, false}, {7, false}});
  EXPECT_EQ(project.CommObjects(id, true).size(), 33u);
  EXPECT_THROW(project.SetCommObjectsVisible(id, {{2, true}, {99, false}}), host::ProjectError);
  EXPECT_EQ(project.CommObjects(id, true).size(), 33u);  // 2 stays hidden
  project.SetCommObjectsVisible(id, {{2, true}, {7, true}});
  EXPECT_EQ(project.CommObjects(id, true).size(), 35u);
}

TEST_F(ProjectEdits, TheGroupAddressFormatOfTheHeaderGivesMainMiddleSub) {
  com::ComPtr<IGroupAddress> ga;
  ASSERT_EQ(host::MakeGroupAddressObject(project, Ga(31, 7, 255), &ga), S_OK);
  com::Bstr format(u"$(GroupAddress,eteC.GroupAddress)");
  com::Bstr text;
  ASSERT_EQ(ga->Format(format.Get(), &text), S_OK);
  EXPECT_EQ(text.ToUtf8(), "31/7/255");
}

}  // namespace
