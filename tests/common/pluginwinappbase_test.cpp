#include "pluginwinappbase/pluginwinappbase.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <set>
#include <string>
#include <vector>

#include "host/services.h"
#include "temp_home.h"

namespace {

// A plug-in "installed" in a temporary folder with the host's services and
// language 1031, so that its translation file is Plug_0407.rlg.
class Localisation : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("DX47X_LCID", "1031", 1);
    ASSERT_EQ(app.InitForModulePath(dir.File("Plug.so")), S_OK);
  }
  void TearDown() override { unsetenv("DX47X_LCID"); }
  void WriteRlg(const std::string& content) {
    std::ofstream(dir.File("Plug_0407.rlg"), std::ios::binary) << content;
  }

  host::HostServices services;
  testsupport::TempDir dir;
  CPluginWinAppBase app;
};

TEST_F(Localisation, PathsFollowTheHostLanguage) {
  EXPECT_EQ(app.LanguageId(), 1031u);
  EXPECT_EQ(app.HelpFilePath(), dir.File("Plug_0407.hlp"));
  EXPECT_EQ(app.TranslationFilePath(), dir.File("Plug_0407.rlg"));
}

TEST_F(Localisation, TranslatesWholeLinesOnly) {
  WriteRlg("Heading\r\nOK\r\nJa gut\r\nCancel\nAbbrechen\nCancel all\nAlle abbrechen\n");
  EXPECT_EQ(app.Translate("OK"), "Ja gut");  // carriage returns removed
  EXPECT_EQ(app.Translate("Cancel"), "Abbrechen");
  EXPECT_EQ(app.Translate("Cancel all"), "Alle abbrechen");
  EXPECT_EQ(app.Translate("Canc"), "Canc");  // part of a line is no key
  EXPECT_EQ(app.Translate(""), "");
}

TEST_F(Localisation, EscapesForLineFeedsAndTabs) {
  WriteRlg("Heading\nTwo\\nlines\nZwei\\nZeilen\nGap\nA\\n\\nB\nTab\\there\nTab\\thier\n");
  EXPECT_EQ(app.Translate("Two\nlines"), "Zwei\nZeilen");
  EXPECT_EQ(app.Translate("Gap"), "A\n\nB");
  EXPECT_EQ(app.Translate("Tab\there"), "Tab\thier");
}

TEST_F(Localisation, FirstLineIsNeverAKey) {
  WriteRlg("OK\nJa\nOK\nGut\n");
  // The first line is skipped; its second occurrence (line 3) is the key.
  EXPECT_EQ(app.Translate("OK"), "Gut");
  WriteRlg("Only\nNur\n");
  CPluginWinAppBase fresh;
  ASSERT_EQ(fresh.InitForModulePath(dir.File("Plug.so")), S_OK);
  EXPECT_EQ(fresh.Translate("Only"), "Only");
}

TEST_F(Localisation, UnterminatedTranslationLineFallsBackToTheKey) {
  WriteRlg("Heading\nOK\nJa");
  EXPECT_EQ(app.Translate("OK"), "OK");
}

TEST_F(Localisation, FileSizeLimit) {
  // Assemble the exact sizes explicitly.
  std::string accepted = std::string(kMaxTranslationFileSize - 7, 'x') + "\nOK\nJa\n";
  ASSERT_EQ(accepted.size(), kMaxTranslationFileSize);
  WriteRlg(accepted);
  EXPECT_EQ(app.Translate("OK"), "Ja");

  CPluginWinAppBase other;
  ASSERT_EQ(other.InitForModulePath(dir.File("Plug.so")), S_OK);
  WriteRlg(std::string(kMaxTranslationFileSize + 1 - 7, 'x') + "\nOK\nJa\n");  // 51200 bytes
  EXPECT_EQ(other.Translate("OK"), "OK");
}

TEST_F(Localisation, MissingFileAndMissingServiceGiveEnglish) {
  EXPECT_EQ(app.Translate("OK"), "OK");  // no file written
  CPluginWinAppBase notInitialised;
  EXPECT_EQ(notInitialised.Translate("OK"), "OK");
}

// A FIFO in the translation file's place would block the first translation
// (and the dialog asking for it) for ever: it is refused like a missing file.
TEST_F(Localisation, AFifoAsTranslationFileIsRefusedWithoutBlocking) {
  const std::string fifo = dir.File("Plug_0407.rlg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto done = std::async(std::launch::async, [&] { return app.Translate("OK"); });
  if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // releases the reader
    if (fd >= 0) ::close(fd);
    done.wait();
    FAIL() << "the translation file was opened as a FIFO";
  }
  EXPECT_EQ(done.get(), "OK");
}

// Content given directly follows the file's rules: carriage returns go,
// whole lines only, never the first line, and the same size limit.
TEST_F(Localisation, ContentGivenInPlaceOfTheFile) {
  WriteRlg("Heading\nOK\nFile\n");  // not read once content is given
  app.SetTranslationContent("Heading\r\nOK\r\nGut\r\nTwo\\nlines\nZwei\\nZeilen\n");
  EXPECT_EQ(app.Translate("OK"), "Gut");
  EXPECT_EQ(app.Translate("Two\nlines"), "Zwei\nZeilen");
  EXPECT_EQ(app.Translate("Heading"), "Heading");
  app.SetTranslationContent(std::string(kMaxTranslationFileSize - 7, 'x') + "\nOK\nJa\n");
  EXPECT_EQ(app.Translate("OK"), "Ja");
  app.SetTranslationContent(std::string(kMaxTranslationFileSize + 1 - 7, 'x') + "\nOK\nJa\n");
  EXPECT_EQ(app.Translate("OK"), "OK");
  app.SetTranslationContent(std::string("\nOK\0\nJa\n", 8));  // a NUL inside a key
  EXPECT_EQ(app.Translate(std::string("OK\0", 3)), "Ja");
  EXPECT_EQ(app.Translate("OK"), "OK");
  app.SetTranslationContent("");
  EXPECT_EQ(app.Translate("OK"), "OK");
}

TEST(LocalisationWithoutHost, FallsBackTo1033) {
  testsupport::TempDir dir;
  CPluginWinAppBase app;
  EXPECT_EQ(app.InitForModulePath(dir.File("Plug.so")), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(app.LanguageId(), 1033u);
  EXPECT_EQ(app.TranslationFilePath(), dir.File("Plug_0409.rlg"));
}

}  // namespace

// The German file of the plug-in: every key translates to the line paired
// with it (a translation that equals a later key would otherwise take that
// key's lookup), and no key stands twice.
TEST(PluginTranslations, EveryKeyOfTheGermanFileFindsItsOwnTranslation) {
  const char* bin = std::getenv("DX47X_BIN_DIR");
  ASSERT_NE(bin, nullptr);
  std::ifstream in(std::string(bin) + "/DX47x_0407.rlg", std::ios::binary);
  ASSERT_TRUE(in);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size() % 2, 1u) << "a heading and line pairs";
  setenv("DX47X_LCID", "1031", 1);
  host::HostServices services;
  testsupport::TempDir dir;
  std::ofstream(dir.File("Plug_0407.rlg"), std::ios::binary)
      << std::ifstream(std::string(bin) + "/DX47x_0407.rlg").rdbuf();
  CPluginWinAppBase app;
  ASSERT_EQ(app.InitForModulePath(dir.File("Plug.so")), S_OK);
  unsetenv("DX47X_LCID");
  std::set<std::string> keys;
  auto unescape = [](std::string s) {
    for (size_t i = 0; (i = s.find('\\', i)) != std::string::npos; ++i) {
      if (i + 1 < s.size() && (s[i + 1] == 'n' || s[i + 1] == 't'))
        s.replace(i, 2, s[i + 1] == 'n' ? "\n" : "\t");
    }
    return s;
  };
  for (size_t i = 1; i + 1 < lines.size(); i += 2) {
    EXPECT_TRUE(keys.insert(lines[i]).second) << "twice: " << lines[i];
    EXPECT_EQ(app.Translate(unescape(lines[i])), unescape(lines[i + 1])) << "line " << i + 1;
  }
}
