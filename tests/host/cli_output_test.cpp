// What dx47x-host prints of texts that come from the project or from files:
// control codes and bytes that are not UTF-8 are shown as \xNN, never handed
// to the terminal. And the files it reads: anything but a regular file (a
// FIFO, a device) is refused at once instead of blocking the command, and a
// file above the command's bound is refused before it is read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "host/project.h"
#include "host/project_address.h"
#include "hostapi/dx47x_blob.h"
#include "printable.h"
#include "temp_home.h"

namespace {

using cli::Printable;

// ---------------------------------------------------------------------------
// Printable on its own

TEST(Printable, KeepsTextAndWellFormedUtf8AsItIs) {
  EXPECT_EQ(Printable(""), "");
  EXPECT_EQ(Printable("Lobby display 1/2, left"), "Lobby display 1/2, left");
  // Two-, three- and four-byte characters, the first after the C1 codes and
  // the last code point there is.
  for (const char* text :
       {"Gr\xC3\xBC\xC3\x9F"
        "e \xC2\xB0"
        "C",
        "\xE2\x82\xAC 5", "\xF0\x9F\x98\x80", "\xC2\xA0", "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBD", "~"})
    EXPECT_EQ(Printable(text), text) << text;
  // A backslash is not an escape of its own.
  EXPECT_EQ(Printable("C:\\x1B\\dir"), "C:\\x1B\\dir");
}

TEST(Printable, EscapesControlCodes) {
  EXPECT_EQ(Printable("a\x1B[31mred"), "a\\x1B[31mred");
  EXPECT_EQ(Printable(std::string("\0\t\n\r\x7F", 5)), "\\x00\\x09\\x0A\\x0D\\x7F");
  EXPECT_EQ(Printable("\x1F \x20"), "\\x1F  ");
  // C1 codes in their UTF-8 form: U+0080, U+009B (CSI), U+009F.
  EXPECT_EQ(Printable("\xC2\x80\xC2\x9B"
                      "2J\xC2\x9F"),
            "\\xC2\\x80\\xC2\\x9B2J\\xC2\\x9F");
}

TEST(Printable, EscapesEveryByteThatIsNotWellFormedUtf8) {
  EXPECT_EQ(Printable("\x9B"
                      "2J"),
            "\\x9B2J");  // a raw C1 byte
  EXPECT_EQ(Printable("Gr\xFC\xDF"
                      "e"),
            "Gr\\xFC\\xDFe");                                        // Latin-1
  EXPECT_EQ(Printable("\xC0\xAF"), "\\xC0\\xAF");                    // overlong '/'
  EXPECT_EQ(Printable("\xE0\x80\xAF"), "\\xE0\\x80\\xAF");           // overlong, 3 bytes
  EXPECT_EQ(Printable("\xF0\x82\x82\xAC"), "\\xF0\\x82\\x82\\xAC");  // overlong, 4 bytes
  EXPECT_EQ(Printable("\xED\xA0\x80"), "\\xED\\xA0\\x80");           // a surrogate
  EXPECT_EQ(Printable("\xF4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");  // above U+10FFFF
  EXPECT_EQ(Printable("\xF5\xFE\xFF"), "\\xF5\\xFE\\xFF");
  // A cut sequence is escaped byte by byte; what follows it stays.
  EXPECT_EQ(Printable("\xE2\x82"
                      "A"),
            "\\xE2\\x82A");
  EXPECT_EQ(Printable("x\xE2\x82"), "x\\xE2\\x82");
  EXPECT_EQ(Printable("\xE2\xC3\xA4"), "\\xE2\xC3\xA4");
  EXPECT_EQ(Printable("\xF0\x9F\x98"), "\\xF0\\x9F\\x98");
}

// ---------------------------------------------------------------------------
// The command line

class CliOutput : public ::testing::Test {
 protected:
  // Runs dx47x-host with the arguments (through the shell); output holds
  // stdout and stderr. A command that hangs ends after a minute with 124.
  int Run(const std::string& args) {
    return testsupport::RunCommand("timeout 60 " + testsupport::BinDir() + "/dx47x-host " + args + " 2>&1",
                                   &output);
  }
  bool Has(const std::string& text) const { return output.find(text) != std::string::npos; }
  // No byte of the output may be a control code other than the line feeds
  // between lines, nor anything but ASCII: every hostile text is escaped.
  void ExpectOnlyPrintableAscii() const {
    for (unsigned char c : output)
      if (c != '\n' && (c < 0x20 || c >= 0x7F)) {
        ADD_FAILURE() << "raw byte " << int(c) << " in:\n" << Printable(output);
        return;
      }
  }
  std::string ProjectPath() const { return home.Path() + "/project.db"; }
  std::string Path(const std::string& name) const { return home.Path() + "/" + name; }
  void AddDevice() {
    ASSERT_EQ(Run("init"), 0) << output;
    ASSERT_EQ(Run("register"), 0) << output;
    ASSERT_EQ(Run("add-device 1.1.5"), 0) << output;
  }
  std::vector<uint8_t> Blob() {
    host::PhysicalAddress a{1, 1, 5};
    host::Project p = host::Project::OpenReadOnly(ProjectPath());
    std::optional<host::StoredValue> v = p.ReadExtData(p.DeviceAt(a), dx47x::blob::kKey);
    return v ? v->data : std::vector<uint8_t>{};
  }

  testsupport::TempHome home;
  std::string output;
};

TEST_F(CliOutput, NamesWithControlCodesAreShownEscapedByEveryCommand) {
  // The shell hands the control codes over as they are.
  ASSERT_EQ(Run("init --name \"$(printf 'Office\\033[31m')\""), 0) << output;
  EXPECT_EQ(output, "created project 'Office\\x1B[31m' in " + ProjectPath() + "\n");
  ASSERT_EQ(Run("register"), 0) << output;
  ASSERT_EQ(Run("add-device 1.1.5 --name \"$(printf 'Hall\\033]0;owned\\007')\""), 0) << output;
  EXPECT_EQ(output, "added device 1.1.5 (Hall\\x1B]0;owned\\x07)\n");
  ExpectOnlyPrintableAscii();

  // Texts another program put into the project: C1 codes raw and as UTF-8,
  // a line feed that would fake a line of output, bytes that are no UTF-8.
  {
    host::Project p = host::Project::Open(ProjectPath());
    host::DeviceDataChange change;
    change.productName =
        "Display\x9B"
        "2J";
    change.manufacturerName =
        "Acme\xC2\x9B"
        "1m";
    change.orderNumber = "X-1\nnote: all is well";
    change.description = "Lobby \xFF\xFE";
    change.programName = "Prog\t2\x7F";
    p.SetDeviceData(p.DeviceAt(host::PhysicalAddress{1, 1, 5}), change);
  }
  ASSERT_EQ(Run("list"), 0) << output;
  EXPECT_TRUE(Has("project 'Office\\x1B[31m': 1 device\n")) << output;
  EXPECT_TRUE(Has("1.1.5       Hall\\x1B]0;owned\\x07")) << output;
  ExpectOnlyPrintableAscii();

  for (const char* command : {"show 1.1.5", "device 1.1.5"}) {
    ASSERT_EQ(Run(command), 0) << output;
    EXPECT_TRUE(Has("  Name:                Hall\\x1B]0;owned\\x07\n")) << command << output;
    EXPECT_TRUE(Has("  Product:             Display\\x9B2J\n")) << command << output;
    EXPECT_TRUE(Has("  Manufacturer:        Acme\\xC2\\x9B1m\n")) << command << output;
    EXPECT_TRUE(Has("  Order number:        X-1\\x0Anote: all is well\n")) << command << output;
    EXPECT_FALSE(Has("\nnote: all is well")) << command << output;
    EXPECT_TRUE(Has("  Description:         Lobby \\xFF\\xFE\n")) << command << output;
    EXPECT_TRUE(Has("  Application program: Prog\\x092\\x7F")) << command << output;
    ExpectOnlyPrintableAscii();
  }
  // Well-formed non-ASCII text stays as it is.
  ASSERT_EQ(Run("device 1.1.5 --name \"Gr\xC3\xBC\xC3\x9F"
                "e \xE2\x82\xAC\""),
            0)
      << output;
  EXPECT_TRUE(
      Has("  Name:                Gr\xC3\xBC\xC3\x9F"
          "e \xE2\x82\xAC\n"))
      << output;
  ASSERT_EQ(Run("group-address add 1/2/3 \"$(printf 'Light\\033[5m')\""), 0) << output;
  EXPECT_EQ(output, "added group address 1/2/3 (Light\\x1B[5m)\n");
}

TEST_F(CliOutput, ErrorAndUsageLinesAreEscapedAndStayOneLine) {
  AddDevice();
  // A CSV field quoted in the error, from the file.
  const std::string csv = Path("groups.csv");
  std::ofstream(csv, std::ios::binary) << "Address,Name\n1/9/0\x1B[2J,Light\n";
  EXPECT_EQ(Run("group-address import " + csv), 1);
  EXPECT_TRUE(Has("\\x1B[2J")) << output;
  ExpectOnlyPrintableAscii();
  // A file name with a line feed: one line on standard error.
  EXPECT_EQ(Run("group-address import \"$(printf 'a\\nb.csv')\""), 1);
  EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
  EXPECT_TRUE(Has("cannot read the file a\\x0Ab.csv: ")) << output;
  EXPECT_EQ(Run("\"$(printf 'frob\\033[0m')\""), 2);
  EXPECT_TRUE(Has("unknown command 'frob\\x1B[0m'")) << output;
  EXPECT_EQ(Run("\"$(printf -- '--x\\233')\" list"), 2);
  EXPECT_TRUE(Has("unknown option --x\\x9B")) << output;
  EXPECT_EQ(Run("show \"$(printf '1.1.\\033')\""), 2);
  EXPECT_TRUE(Has("'1.1.\\x1B' is not a device address")) << output;
  ExpectOnlyPrintableAscii();
}

TEST_F(CliOutput, FilesThatAreNotRegularFilesAreRefusedAtOnce) {
  AddDevice();
  const std::vector<uint8_t> before = Blob();
  ASSERT_FALSE(before.empty());
  const std::string fifo = Path("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& file : {fifo, std::string("/dev/zero")}) {
    for (const std::string& command :
         {"blob 1.1.5 --import " + file, "blob 1.1.5 --import " + file + " --force",
          "group-address import " + file, "import-lcd 1.1.5 " + file, "edit 1.1.5 --script " + file}) {
      EXPECT_EQ(Run(command), 1) << command << ": " << output;
      EXPECT_TRUE(Has("It is not a regular file (a FIFO, a device or a socket)."))
          << command << ": " << output;
    }
  }
  EXPECT_EQ(Blob(), before);
}

TEST_F(CliOutput, FilesAboveTheirBoundAreRefusedBeforeTheyAreRead) {
  AddDevice();
  const std::vector<uint8_t> before = Blob();
  // Sparse files: the size alone refuses them.
  const std::string big = Path("big");
  std::ofstream(big).close();
  ASSERT_EQ(truncate(big.c_str(), (16 << 20) + 1), 0);
  EXPECT_EQ(Run("blob 1.1.5 --import " + big + " --force"), 1);
  EXPECT_TRUE(Has("It is larger than 16777216 bytes. Nothing was changed.")) << output;
  EXPECT_EQ(Run("edit 1.1.5 --script " + big), 1);
  EXPECT_TRUE(Has("cannot read the UI script " + big + ": It is larger than 16777216 bytes.")) << output;
  ASSERT_EQ(truncate(big.c_str(), (64 << 20) + 1), 0);
  EXPECT_EQ(Run("group-address import " + big), 1);
  EXPECT_TRUE(Has("It is larger than 67108864 bytes.")) << output;
  EXPECT_EQ(Blob(), before);
  // A missing script is still the UI script runner's to report.
  EXPECT_EQ(Run("edit 1.1.5 --script " + Path("missing.ui")), 4) << output;
}

}  // namespace
