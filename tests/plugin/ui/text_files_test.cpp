// Parameter files: export and import round trip, the checks of a file's
// content and length, safe replacement of the target, and the File menu
// commands driven by UI scripts.
#include "editor/text_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <sstream>

#include "base/byteorder.h"
#include "data/blockinfo.h"
#include "data/dx470data.h"
#include "data/positions.h"
#include "editor/main_dialog.h"
#include "plugin_project_fixture.h"
#include "temp_home.h"
#include "ui/script.h"
#include "ui/services.h"

namespace {

namespace fs = std::filesystem;
using editor::TextFileStatus;

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool SameBytes(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

// A font as the file carries it: the header without the width that packing
// computes, and the glyphs of its code range.
void ExpectSameFont(const dx470::ZEICHENSATZ& a, const dx470::ZEICHENSATZ& b) {
  EXPECT_TRUE(SameBytes(&a, &b, offsetof(dx470::ZEICHENSATZ, MaxWidth)));
  EXPECT_TRUE(SameBytes(&a.First, &b.First, dx470::kFontHeaderSize - offsetof(dx470::ZEICHENSATZ, First)));
  for (int k = 0; k <= a.Last - a.First; ++k) {
    const dx470::ZEICHEN &ga = a.Glyphs[k], &gb = b.Glyphs[k];
    ASSERT_EQ(ga.Width, gb.Width) << k;
    for (int band = 0; band < (ga.Width + 7) / 8; ++band)
      for (int row = 0; row < a.Height; ++row)
        ASSERT_EQ(ga.Bitmap[20 * band + row], gb.Bitmap[20 * band + row]) << k;
  }
}

class TextFiles : public testsupport::ProjectFixture {
 protected:
  void SetUp() override {
    ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
    dx470::DefineMessage(Param(), 3, 1, 0, false, "Hello");
    dx470::DefineMessage(Param(), 7, 2, 0, false, "Lights");
    Param().Lcd.General.Bytes[4] = 0x5A;
    // A pixel pattern inside a glyph of font 1 that is at least 8 pixels wide.
    dx470::ZEICHENSATZ& font = Param().Lcd.Fonts[0];
    while (font.Glyphs[wide].Width < 8) ++wide;
    font.Glyphs[wide].Bitmap[2] = 0xC3;
  }
  dx470::PARAM& Param() { return data.Param(); }
  std::string Export() {
    const std::string path = dir.File("texts.lcd");
    EXPECT_EQ(editor::WriteTextFile(path, data), TextFileStatus::Ok);
    return path;
  }
  // Runs the main dialog with the registered commands.
  int Run(const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out;
    auto services = ui::MakeScriptedServices(in, out);
    ui::SetServices(services.get());
    auto dialog = std::make_unique<editor::DX470MainDialog>(data);
    const int result = dialog->DoModal(*services);
    ui::SetServices(nullptr);
    scriptOk = services->Finish();
    report = out.str();
    return result;
  }
  // Runs one command function with scripted answers.
  template <class F>
  auto RunCommand(const std::string& script, F command) {
    std::istringstream in(script);
    std::ostringstream out;
    auto services = ui::MakeScriptedServices(in, out);
    ui::SetServices(services.get());
    auto result = command();
    ui::SetServices(nullptr);
    scriptOk = services->Finish();
    report = out.str();
    return result;
  }

  CDX470Data data;
  int wide = 0;
  testsupport::TempDir dir;
  bool scriptOk = false;
  std::string report;
};

TEST_F(TextFiles, ExportThenImportReproducesHeaderGeneralMessagesAndFonts) {
  const std::string path = Export();
  EXPECT_EQ(ReadBytes(path).size(), dx470::kImagePrefixSize + data.Blob().ImageLength);
  EXPECT_GT(data.Blob().ImageLength, dx470::kLcdFontsOffset);

  CDX470Data other;
  ASSERT_EQ(editor::ReadTextFile(path, other), TextFileStatus::Ok);
  const dx470::PARAM &a = data.Param(), &b = other.Param();
  EXPECT_TRUE(SameBytes(&a, &b, dx470::kParamHeadSize));  // leading bytes, block, general, messages
  EXPECT_EQ(b.Lcd.General.Bytes[4], 0x5A);
  EXPECT_EQ(b.MessageKind[7], 2);
  ExpectSameFont(a.Lcd.Fonts[0], b.Lcd.Fonts[0]);
  ExpectSameFont(a.Lcd.Fonts[1], b.Lcd.Fonts[1]);
  EXPECT_EQ(b.Lcd.Fonts[0].Glyphs[wide].Bitmap[2], 0xC3);
}

TEST_F(TextFiles, ContentChecksNeverReadPastTheFileAndRefuseOffsetsOutsideIt) {
  const std::vector<uint8_t> good = ReadBytes(Export());
  EXPECT_TRUE(editor::CheckTextFile(good.data(), good.size()));
  // Each check runs on an exactly sized copy so that an over-read is a fault.
  auto check = [](std::vector<uint8_t> bytes) {
    auto exact = std::make_unique<uint8_t[]>(bytes.size() + 1);
    if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
    return editor::CheckTextFile(exact.get(), bytes.size());
  };
  EXPECT_FALSE(check({}));
  EXPECT_FALSE(check(std::vector<uint8_t>(good.begin(), good.begin() + 53)));  // block cut short
  EXPECT_FALSE(check(std::vector<uint8_t>(good.begin(), good.end() - 1)));     // font part cut short
  for (size_t field : {36u, 38u, 40u}) {  // offsets of general part, messages, fonts
    std::vector<uint8_t> bad = good;
    base::WriteBE16(&bad[field], 0xFFF0);
    EXPECT_FALSE(check(bad)) << field;
  }
  std::vector<uint8_t> longer = good;
  longer.resize(dx470::kImageBufferSize + 1, 0);
  EXPECT_FALSE(editor::CheckTextFile(longer.data(), longer.size()));
}

TEST_F(TextFiles, AFileOverTheBufferSizeOrWithAChangedFontByteIsRefusedAndChangesNothing) {
  const std::string path = Export();
  const std::vector<uint8_t> good = ReadBytes(path);
  const auto before = std::make_unique<dx470::PARAM>(Param());
  std::vector<uint8_t> longer = good;
  longer.resize(dx470::kImageBufferSize + 1, 0);
  WriteBytes(path, longer);
  EXPECT_EQ(editor::ReadTextFile(path, data), TextFileStatus::InvalidData);
  std::vector<uint8_t> changed = good;
  changed[good.size() - 10] ^= 0x01;  // inside the packed glyphs of font 2
  WriteBytes(path, changed);

  std::string last = "previous.lcd";
  EXPECT_EQ(RunCommand("file \"" + path + "\"\n", [&] { return editor::ImportFile(data, last); }),
            ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_EQ(report,
            "open: Import texts -> \"" + path +
                "\"\nbox: Warning: File does not contain valid data!\\n\\nNo data will be read from file."
                " -> ok (default)\n");
  EXPECT_TRUE(SameBytes(before.get(), &Param(), sizeof(dx470::PARAM)));
  EXPECT_EQ(last, "previous.lcd");

  EXPECT_EQ(RunCommand("file \"" + dir.File("missing.lcd") + "\"\n",
                       [&] { return editor::ImportFile(data, last); }),
            ui::IDCANCEL);
  EXPECT_NE(report.find("box: Warning: Failed to open file -> ok"), std::string::npos) << report;
  // Cancelling the dialog does nothing at all.
  EXPECT_EQ(RunCommand("file cancel\n", [&] { return editor::ImportFile(data, last); }), ui::IDCANCEL);
  EXPECT_EQ(report, "open: Import texts -> cancel\n");
  EXPECT_TRUE(SameBytes(before.get(), &Param(), sizeof(dx470::PARAM)));
}

// A FIFO would block the editor for ever, a device never end: both are
// files that cannot be opened, and the configuration stays.
TEST_F(TextFiles, OnlyRegularFilesAreImported) {
  dx470::UpdateBlockInformation(Param());  // as the File menu's import does first
  const auto before = std::make_unique<dx470::PARAM>(Param());
  const std::string fifo = dir.File("texts.lcd");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto done = std::async(std::launch::async, [&] { return editor::ReadTextFile(fifo, data); });
  if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // releases the reader
    if (fd >= 0) ::close(fd);
    done.wait();
    FAIL() << "the parameter file was opened as a FIFO";
  }
  EXPECT_EQ(done.get(), TextFileStatus::OpenFailed);
  EXPECT_EQ(editor::ReadTextFile("/dev/zero", data), TextFileStatus::OpenFailed);
  EXPECT_TRUE(SameBytes(before.get(), &Param(), sizeof(dx470::PARAM)));

  std::string last = "previous.lcd";
  EXPECT_EQ(RunCommand("file \"" + fifo + "\"\n", [&] { return editor::ImportFile(data, last); }),
            ui::IDCANCEL);
  EXPECT_NE(report.find("box: Warning: Failed to open file -> ok"), std::string::npos) << report;
  EXPECT_EQ(last, "previous.lcd");
  EXPECT_TRUE(SameBytes(before.get(), &Param(), sizeof(dx470::PARAM)));
}

TEST_F(TextFiles, ExportReplacesAReadOnlyFileAndRemembersThePath) {
  const std::string path = dir.File("locked.lcd");
  WriteBytes(path, {1, 2, 3});
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::string last;
  EXPECT_TRUE(RunCommand("", [&] { return editor::ExportFile(data, last, path); }));
  EXPECT_EQ(report, "");  // a given path is written without asking
  EXPECT_EQ(last, path);
  const std::vector<uint8_t> written = ReadBytes(path);
  ASSERT_EQ(written.size(), dx470::kImagePrefixSize + data.Blob().ImageLength);
  EXPECT_TRUE(editor::CheckTextFile(written.data(), written.size()));
  // The save dialog starts at the remembered file.
  EXPECT_TRUE(RunCommand("file \"" + path + "\"\n", [&] { return editor::ExportFile(data, last); }));
  EXPECT_EQ(report, "save: Export texts -> \"" + path + "\"\n");
}

TEST_F(TextFiles, AFailedExportKeepsTheOldFileAndTheConfiguration) {
  const std::string path = dir.File("old.lcd");
  const std::vector<uint8_t> old(100, 0x77);
  WriteBytes(path, old);
  const auto before = std::make_unique<dx470::TYPE_DX470_BLOB_COMPLETE>(data.Blob());

  // The write runs into the file size limit half-way (root is bound by it too).
  fs::permissions(path, fs::perms::owner_read);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 1000;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string last;
  const bool written = RunCommand("", [&] { return editor::ExportFile(data, last, path); });
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(report, "box: DX47x: Failed to save file -> ok (default)\n");
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read);  // still read-only
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);  // no leftovers
  EXPECT_EQ(last, "");

  // A font that cannot be packed: nothing is written.
  Param().Lcd.Fonts[0].Glyphs[10].Width = 41;
  before->Current.Lcd.Fonts[0].Glyphs[10].Width = 41;
  EXPECT_FALSE(RunCommand("", [&] { return editor::ExportFile(data, last, path); }));
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(data.Blob().ImageLength, before->ImageLength);
  // Only the block information is brought up to date, as on OK.
  EXPECT_TRUE(SameBytes(&before->Current.Lcd.General, &Param().Lcd.General,
                        sizeof(dx470::PARAM) - offsetof(dx470::PARAM, Lcd.General)));
}

TEST_F(TextFiles, MenuImportResetsTheSelectionToTheFirstRowAndExportUsesTheSaveDialog) {
  const std::string path = dir.File("menu.lcd");
  EXPECT_EQ(Run("expect-enabled 32768 1\nexpect-enabled 32769 1\nfile \"" + path +
                "\"\nmenu 32769\nselect 201 1\nfile \"" + path +
                "\"\nmenu 32768\nexpect-selected 201 0\n"
                "expect-text 201 \"Hello\\tstatic text\\tunused\"\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(scriptOk) << report;
  EXPECT_EQ(report, "save: Export texts -> \"" + path + "\"\nopen: Import texts -> \"" + path + "\"\n");
  // A failed import keeps the selection.
  WriteBytes(path, {0, 1, 2});
  EXPECT_EQ(Run("select 201 1\nfile \"" + path + "\"\nmenu 32768\nexpect-selected 201 1\ncancel\n"),
            ui::IDCANCEL);
  EXPECT_TRUE(scriptOk) << report;
}

}  // namespace
