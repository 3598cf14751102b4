// PNG output: decodes the file written and compares the pixels.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/byteorder.h"
#include "gfx/png.h"

namespace gfx {
namespace {

struct Decoded {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rows;  // filter byte + RGB per row
  bool crcOk = true;
};

Decoded Decode(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), {});
  Decoded out;
  std::vector<uint8_t> idat;
  EXPECT_GE(d.size(), 8u);
  for (size_t pos = 8; pos + 12 <= d.size();) {
    const uint32_t n = base::ReadBE32(&d[pos]);
    const std::string type(d.begin() + pos + 4, d.begin() + pos + 8);
    const uint8_t* data = &d[pos + 8];
    out.crcOk &= crc32(0, &d[pos + 4], n + 4) == base::ReadBE32(&d[pos + 8 + n]);
    if (type == "IHDR") {
      out.width = base::ReadBE32(data);
      out.height = base::ReadBE32(data + 4);
    } else if (type == "IDAT") {
      idat.insert(idat.end(), data, data + n);
    }
    pos += 12 + n;
  }
  uLongf size = (1 + 3 * out.width) * out.height;
  out.rows.resize(size);
  EXPECT_EQ(uncompress(out.rows.data(), &size, idat.data(), idat.size()), Z_OK);
  return out;
}

class Png : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("dx47x_png_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(Png, WritesTheBitmapPixels) {
  Bitmap b(3, 2, kWhite);
  b.Set(0, 0, Rgb(10, 20, 30));
  b.Set(2, 1, kBlack);
  const std::string path = (dir_ / "out.png").string();
  ASSERT_EQ(SavePng(b, path), S_OK);
  const Decoded d = Decode(path);
  EXPECT_TRUE(d.crcOk);
  EXPECT_EQ(d.width, 3u);
  EXPECT_EQ(d.height, 2u);
  const std::vector<uint8_t> expected = {0, 10,  20,  30,  255, 255, 255, 255, 255, 255,
                                         0, 255, 255, 255, 255, 255, 255, 0,   0,   0};
  EXPECT_EQ(d.rows, expected);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);  // no temporary left
}

TEST_F(Png, FailuresLeaveNoFile) {
  EXPECT_EQ(SavePng(Bitmap(), (dir_ / "empty.png").string()), E_INVALIDARG);
  EXPECT_EQ(SavePng(Bitmap(2, 2), (dir_ / "missing" / "x.png").string()),
            HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

}  // namespace
}  // namespace gfx
