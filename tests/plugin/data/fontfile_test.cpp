// Font files: building, checking and reading them back, on disk too.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <vector>

#include "data/checksum.h"
#include "data/defaultfont.h"
#include "data/fontfile.h"

namespace dx470 {
namespace {

std::unique_ptr<ZEICHENSATZ> SmallFont() {
  auto font = std::make_unique<ZEICHENSATZ>();
  std::memcpy(font->Identification, "Test", 4);
  font->Height = 8;
  font->First = 65;
  font->Last = 65;
  font->DecimalPoint = 65;
  font->Glyphs[0].Width = 8;
  font->Glyphs[0].Height = 8;
  for (int r = 0; r < 8; ++r) font->Glyphs[0].Bitmap[r] = static_cast<uint8_t>(1 << r);
  return font;
}

std::vector<uint8_t> FileOf(const ZEICHENSATZ& font) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(BuildFontFile(font, bytes).ok());
  return bytes;
}

TEST(FontFile, SmallFontLayoutAndParsingBack) {
  const auto bytes = FileOf(*SmallFont());
  ASSERT_EQ(bytes.size(), 50u);
  const uint16_t sum = Fletcher16(bytes.data() + 5, 45);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 5),
            (std::vector<uint8_t>{2, 45, 0, uint8_t(sum & 0xFF), uint8_t(sum >> 8)}));

  auto font = std::make_unique<ZEICHENSATZ>();
  std::memset(font.get(), 0x5A, sizeof *font);  // everything is replaced
  ASSERT_TRUE(ParseFontFile(bytes.data(), bytes.size(), *font).ok());
  EXPECT_EQ(std::memcmp(font->Identification, "Test", 4), 0);
  EXPECT_EQ(font->Glyphs[0].Bitmap[7], 0x80);
  EXPECT_EQ(font->Glyphs[0].Bitmap[8], 0);  // rows below the height cleared
  EXPECT_EQ(font->Glyphs[1].Width, 4);
  EXPECT_EQ(font->Glyphs[1].Height, 1);
}

TEST(FontFile, RejectsBadFilesAndKeepsTheFont) {
  const auto good = FileOf(*SmallFont());
  auto font = std::make_unique<ZEICHENSATZ>();
  font->Height = 99;
  auto expect = [&](std::vector<uint8_t> bytes, FontStatus status) {
    EXPECT_EQ(ParseFontFile(bytes.data(), bytes.size(), *font).status, status);
    EXPECT_EQ(font->Height, 99);
  };
  auto v1 = good;
  v1[0] = 1;
  expect(v1, FontStatus::BadVersion);
  auto shortLength = good;
  shortLength[1] = 33;
  expect(shortLength, FontStatus::LengthTooShort);
  auto flipped = good;
  flipped[3] ^= 0x01;
  expect(flipped, FontStatus::BadChecksum);
  auto lying = good;
  lying[1] = 46;
  expect(lying, FontStatus::LengthBeyondData);
  expect({2, 45}, FontStatus::Truncated);
  expect(std::vector<uint8_t>(good.begin(), good.end() - 1), FontStatus::LengthBeyondData);

  // A consistent checksum does not make a short glyph area acceptable.
  auto cut = good;
  cut[34 + 5] = 40;  // table says 40 pixels wide: 5 bands × 8 rows needed
  const uint16_t sum = Fletcher16(cut.data() + 5, 45);
  cut[3] = sum & 0xFF;
  cut[4] = sum >> 8;
  expect(cut, FontStatus::Truncated);
}

class FontFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("dx47x_fontfile_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(FontFileOnDisk, BuiltInFontSurvivesWriteAndRead) {
  auto font = std::make_unique<ZEICHENSATZ>();
  const auto packed = DefaultFontPacked();
  ASSERT_TRUE(Unpack(packed.data(), packed.size(), *font).ok());
  Normalize(*font);
  const std::string path = (dir_ / "font.lft").string();
  ASSERT_TRUE(WriteFontFile(path, *font).ok());
  EXPECT_EQ(std::filesystem::file_size(path), packed.size() + 5);
  auto back = std::make_unique<ZEICHENSATZ>();
  ASSERT_TRUE(ReadFontFile(path, *back).ok());
  EXPECT_EQ(std::memcmp(font.get(), back.get(), sizeof *font), 0);
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(FontFileOnDisk, LargestFontIsReadBack) {
  // 256 glyphs of 40 × 20 pixels make a file beyond 26151 bytes.
  auto font = std::make_unique<ZEICHENSATZ>();
  font->Height = 20;
  font->MaxWidth = 40;
  font->First = 0;
  font->Last = 255;
  for (ZEICHEN& g : font->Glyphs) {
    g.Width = 40;
    g.Height = 20;
    std::memset(g.Bitmap, 0xA5, sizeof g.Bitmap);
  }
  const std::string path = (dir_ / "big.lft").string();
  ASSERT_TRUE(WriteFontFile(path, *font).ok());
  EXPECT_EQ(std::filesystem::file_size(path), kFontFileReadLimit);
  auto back = std::make_unique<ZEICHENSATZ>();
  ASSERT_TRUE(ReadFontFile(path, *back).ok());
  EXPECT_EQ(std::memcmp(font.get(), back.get(), sizeof *font), 0);
}

TEST_F(FontFileOnDisk, FailuresReportAndKeepTheOldFile) {
  auto font = SmallFont();
  EXPECT_EQ(ReadFontFile((dir_ / "missing.lft").string(), *font).status, FontStatus::OpenFailed);
  EXPECT_EQ(WriteFontFile((dir_ / "no" / "dir.lft").string(), *font).status, FontStatus::WriteFailed);

  const std::string path = (dir_ / "keep.lft").string();
  ASSERT_TRUE(WriteFontFile(path, *font).ok());
  const auto before = std::filesystem::file_size(path);
  font->Glyphs[0].Width = 41;  // cannot be packed
  EXPECT_EQ(WriteFontFile(path, *font).status, FontStatus::BadGlyph);
  EXPECT_EQ(std::filesystem::file_size(path), before);
}

// A FIFO would block the font editor's import for ever, a device never
// end: both are refused as files that cannot be opened, and the font stays.
TEST_F(FontFileOnDisk, OnlyRegularFilesAreRead) {
  const std::string fifo = (dir_ / "font.lft").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto font = SmallFont();
  const ZEICHENSATZ before = *font;
  auto done = std::async(std::launch::async, [&] { return ReadFontFile(fifo, *font).status; });
  if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // releases the reader
    if (fd >= 0) ::close(fd);
    done.wait();
    FAIL() << "the font file was opened as a FIFO";
  }
  EXPECT_EQ(done.get(), FontStatus::OpenFailed);
  EXPECT_EQ(ReadFontFile("/dev/zero", *font).status, FontStatus::OpenFailed);
  EXPECT_EQ(ReadFontFile(dir_.string(), *font).status, FontStatus::OpenFailed);  // a folder
  EXPECT_EQ(std::memcmp(&before, font.get(), sizeof before), 0);

  // A link to a font file is read as the file.
  const std::string path = (dir_ / "real.lft").string();
  ASSERT_TRUE(WriteFontFile(path, *font).ok());
  std::filesystem::create_symlink(path, dir_ / "link.lft");
  EXPECT_TRUE(ReadFontFile((dir_ / "link.lft").string(), *font).ok());
}

}  // namespace
}  // namespace dx470
