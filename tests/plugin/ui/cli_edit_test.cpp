// dx47x-host edit, run as a separate program on a temporary $DX47X_HOME
// with the plug-in registered: exit codes and the saved BLOB.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "temp_home.h"

namespace {

// BLOB offsets: PARAM at 14, its receive types at +2, the message records
// at +69 (236 bytes each: position, value row, text rows), the block
// information's message count at +35.
constexpr size_t kParam = 14;
constexpr size_t kKinds = kParam + 2;
constexpr size_t kRecords = kParam + 69;
constexpr size_t kMessageCount = kParam + 34 + 1;

class CliEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Run("register"), 0) << output;
    ASSERT_EQ(Run("init"), 0) << output;
    ASSERT_EQ(Run("add-device 1.1.5"), 0) << output;
    // Two shown messages, imported as a backed-up BLOB.
    std::vector<uint8_t> blob = Blob();
    for (size_t slot : {0u, 1u}) {
      blob[kKinds + slot] = 1;
      blob[kRecords + 236 * slot] = uint8_t(slot + 1);
      blob[kRecords + 236 * slot + 2] = uint8_t('A' + slot);
    }
    Write(File("two.blob"), blob);
    ASSERT_EQ(Run("blob 1.1.5 --import " + File("two.blob")), 0) << output;
    before = Blob();
  }
  int Run(const std::string& args) {
    return testsupport::RunCommand(testsupport::BinDir() + "/dx47x-host " + args + " 2>&1", &output);
  }
  std::string File(const std::string& name) const { return home.Path() + "/" + name; }
  std::string Script(const std::string& text) {
    std::ofstream(File("edit.ui"), std::ios::trunc) << text;
    return File("edit.ui");
  }
  std::vector<uint8_t> Blob() {
    EXPECT_EQ(Run("blob 1.1.5 --export " + File("out.blob")), 0) << output;
    std::ifstream in(File("out.blob"), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  bool Has(const std::string& text) const { return output.find(text) != std::string::npos; }

  testsupport::TempHome home;
  std::string output;
  std::vector<uint8_t> before;
};

TEST_F(CliEdit, OkSavesTheEditedBlob) {
  EXPECT_EQ(Run("edit 1.1.5 --script " + Script("select 201 0\nanswer yes\nclick 5\nok\n")), 0) << output;
  EXPECT_TRUE(Has("saved the configuration of device 1.1.5")) << output;
  std::vector<uint8_t> after = Blob();
  ASSERT_EQ(after.size(), 112292u);
  EXPECT_EQ(after[kKinds], 0);
  EXPECT_EQ(after[kKinds + 1], 1);
  EXPECT_EQ(after[kRecords + 236], 1);  // the second message moved up
  EXPECT_EQ(after[kMessageCount], 1);   // block information brought up to date
}

TEST_F(CliEdit, CancelAndFailedScriptsLeaveTheBlob) {
  EXPECT_EQ(Run("edit 1.1.5 --script " + Script("answer yes\nclick 5\ncancel\n")), 3) << output;
  EXPECT_TRUE(Has("cancelled")) << output;
  EXPECT_EQ(Blob(), before);
  EXPECT_EQ(Run("edit 1.1.5 --script " + Script("answer yes\nclick 5\nexpect-title \"no\"\nok\n")), 4)
      << output;
  EXPECT_TRUE(Has("script:3: expected title")) << output;
  EXPECT_EQ(Blob(), before);
  EXPECT_EQ(Run("edit 1.1.5 --script " + File("missing.ui")), 4) << output;
  EXPECT_TRUE(Has("cannot read")) << output;
  EXPECT_EQ(Blob(), before);
}

TEST_F(CliEdit, AWindowSystemThatCannotBeReachedIsAnErrorNotAnAbort) {
  const std::string noDisplay = "env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:99 ";
  EXPECT_EQ(
      testsupport::RunCommand(noDisplay + testsupport::BinDir() + "/dx47x-host edit 1.1.5 2>&1", &output), 1)
      << output;
  EXPECT_EQ(output, "dx47x-host: cannot open the display \":99\"\n");
  EXPECT_EQ(Blob(), before);
  // A script's screenshot renders offscreen whatever DISPLAY says.
  const std::string png = File("shot.png");
  EXPECT_EQ(testsupport::RunCommand(noDisplay + testsupport::BinDir() + "/dx47x-host edit 1.1.5 --script " +
                                        Script("screenshot \"" + png + "\"\ncancel\n") + " 2>&1",
                                    &output),
            3)
      << output;
  std::ifstream shot(png, std::ios::binary);
  std::string magic(4, '\0');
  shot.read(magic.data(), 4);
  EXPECT_EQ(magic, "\x89PNG");
}

TEST_F(CliEdit, PrintWritesTheDocumentationAsAPdfThroughTheEditorsMenu) {
  const std::string pdf = File("doc.pdf");
  EXPECT_EQ(Run("print 1.1.5 --pdf " + pdf), 0) << output;
  std::ifstream in(pdf, std::ios::binary);
  std::string head(5, '\0');
  in.read(head.data(), 5);
  EXPECT_EQ(head, "%PDF-");
  if (testsupport::RunCommand("pdftotext " + pdf + " " + File("doc.txt") + " 2>&1", &output) == 0) {
    std::ifstream text(File("doc.txt"));
    const std::string all{std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>()};
    EXPECT_NE(all.find("Physical address: 1.1.5"), std::string::npos) << all;
    EXPECT_NE(all.find("Message:"), std::string::npos) << all;
    EXPECT_NE(all.find("General parameters:"), std::string::npos) << all;
  }
  EXPECT_EQ(Blob(), before);  // printing changes nothing
  EXPECT_EQ(Run("print 1.1.5 --pdf " + File("odd.pdf") + " --dpi 400"), 1) << output;
  EXPECT_TRUE(Has("Please set printer resolution to 300,600,900,1200 or 2400 dpi!")) << output;
  EXPECT_FALSE(std::filesystem::exists(File("odd.pdf")));
  EXPECT_EQ(Run("print 1.1.5"), 2) << output;
  EXPECT_EQ(Run("print 1.1.5 --pdf x.pdf --dpi many"), 2) << output;
}

TEST_F(CliEdit, ArgumentsAndDevicesAreChecked) {
  EXPECT_EQ(Run("edit"), 2);
  EXPECT_EQ(Run("edit 1.1.5 --script"), 2);
  EXPECT_EQ(Run("edit 1.1.5 1.1.6"), 2);
  EXPECT_EQ(Run("edit 1.1.9 --script " + Script("ok\n")), 1) << output;
  // A device added while the plug-in was not registered is not added.
  ASSERT_EQ(Run("register --unregister"), 0) << output;
  ASSERT_EQ(Run("add-device 1.1.7"), 1) << output;
  EXPECT_TRUE(Has("the device was not added")) << output;
  ASSERT_EQ(Run("register"), 0) << output;
  EXPECT_EQ(Run("edit 1.1.7 --script " + Script("ok\n")), 1) << output;
  // A damaged configuration (stored anyway) is named, and no dialog runs
  // the script.
  ASSERT_EQ(Run("add-device 1.1.7"), 0) << output;
  std::ofstream(File("short.blob"), std::ios::binary) << "DX47";
  ASSERT_EQ(Run("blob 1.1.7 --import " + File("short.blob") + " --force"), 0) << output;
  EXPECT_EQ(Run("edit 1.1.7 --script " + Script("ok\n")), 1) << output;
  EXPECT_TRUE(Has("the stored configuration is 4 bytes, not 112292")) << output;
  EXPECT_FALSE(Has("script:")) << output;
}

// The first code block after `heading` in a document of the source tree.
std::string ExampleAfter(const std::string& document, const std::string& heading) {
  std::ifstream in(std::string(DX47X_SOURCE_DIR) + "/" + document);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  size_t at = text.find(heading);
  if (at == std::string::npos) return {};
  size_t open = text.find("```\n", at);
  size_t close = open == std::string::npos ? open : text.find("```", open + 4);
  return close == std::string::npos ? std::string() : text.substr(open + 4, close - open - 4);
}

// The examples of the documentation run green on the main job's demo device.
TEST(CliEditExamples, DocumentedScriptsRunOnTheDemoDevice) {
  testsupport::TempHome home;
  std::string output;
  const std::string host = testsupport::BinDir() + "/dx47x-host ";
  ASSERT_EQ(testsupport::RunCommand("cd " + home.Path() + " && " + host + "demo 2>&1", &output), 0) << output;
  for (const auto& [document, heading] :
       {std::pair<std::string, std::string>{"platform/ui/SCRIPTING.md", "## Example"},
        {"README.md", "## UI scripts"}}) {
    const std::string example = ExampleAfter(document, heading);
    ASSERT_NE(example.find("expect-dialog 201"), std::string::npos) << document;
    const std::string script = home.Path() + "/example.ui";
    std::ofstream(script, std::ios::trunc) << example;
    EXPECT_EQ(testsupport::RunCommand(host + "--project " + home.Path() +
                                          "/demo/demo.db edit 1.1.10 --script " + script + " 2>&1",
                                      &output),
              3)
        << document << ":\n"
        << output;
    EXPECT_EQ(output.find("script:"), std::string::npos) << document << ":\n" << output;
  }
}

// export-lcd and import-lcd: the editor's parameter files between devices.
class CliLcd : public CliEdit {
 protected:
  std::vector<uint8_t> BlobOf(const std::string& address) {
    EXPECT_EQ(Run("blob " + address + " --export " + File("of.blob")), 0) << output;
    return Read(File("of.blob"));
  }
  static std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

TEST_F(CliLcd, ExportThenImportCarriesTheConfigurationToAnotherDevice) {
  ASSERT_EQ(Run("add-device 1.1.6"), 0) << output;
  const std::string lcd = File("texts.lcd");
  EXPECT_EQ(Run("export-lcd 1.1.5 " + lcd), 0) << output;
  EXPECT_EQ(output, "exported the texts of device 1.1.5 to " + lcd + "\n");
  const std::vector<uint8_t> file = Read(lcd);
  const std::vector<uint8_t> source = Blob();
  ASSERT_EQ(source.size(), 112292u);
  EXPECT_EQ(file.size(), 34u + (source[4] | source[5] << 8));  // the image length is saved
  EXPECT_EQ(source[kMessageCount], 2);

  EXPECT_EQ(Run("import-lcd 1.1.6 " + lcd), 0) << output;
  EXPECT_TRUE(Has("imported the texts of " + lcd + " into device 1.1.6")) << output;
  const std::vector<uint8_t> copy = BlobOf("1.1.6");
  ASSERT_EQ(copy.size(), 112292u);
  EXPECT_TRUE(std::equal(source.begin() + kParam, source.begin() + kParam + 3845, copy.begin() + kParam));
  // The copy serialises to the very same file, fonts included.
  EXPECT_EQ(Run("export-lcd 1.1.6 " + File("copy.lcd")), 0) << output;
  EXPECT_EQ(Read(File("copy.lcd")), file);
}

TEST_F(CliLcd, FailuresPrintTheEditorsMessageAndChangeNothing) {
  const std::string lcd = File("texts.lcd");
  ASSERT_EQ(Run("export-lcd 1.1.5 " + lcd), 0) << output;
  const std::vector<uint8_t> saved = Blob();
  std::vector<uint8_t> bad = Read(lcd);
  bad[bad.size() - 5] ^= 0x10;  // a font byte
  Write(lcd, bad);
  EXPECT_EQ(Run("import-lcd 1.1.5 " + lcd), 1) << output;
  EXPECT_EQ(output, "dx47x-host: File does not contain valid data! No data will be read from file.\n");
  EXPECT_EQ(Blob(), saved);
  EXPECT_EQ(Run("import-lcd 1.1.5 " + File("missing.lcd")), 1) << output;
  EXPECT_EQ(output, "dx47x-host: Failed to open file\n");
  EXPECT_EQ(Run("export-lcd 1.1.5 " + File("no/such/folder.lcd")), 1) << output;
  EXPECT_EQ(output, "dx47x-host: Failed to save file\n");
  EXPECT_EQ(Blob(), saved);
  EXPECT_EQ(Run("export-lcd 1.1.5"), 2);
  EXPECT_EQ(Run("import-lcd 1.1.5 a b"), 2);
  EXPECT_EQ(Run("import-lcd 1.1.9 " + lcd), 1) << output;
}

}  // namespace
