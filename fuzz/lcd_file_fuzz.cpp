// Fuzz target of the parameter-file (.LCD) import: the editor's content
// check (editor::CheckTextFile: length and the three block checksums) and
// the decode of a device image (dx470::BuildLcdImage from a buffer), which
// must leave the configuration alone when it fails. What an import decoded
// must export and import again as the same configuration.
//
// Input: byte 0 holds flags, the rest is the file.
//   bit 0: set the file's three checksums to those of its bytes (at the
//          offsets its block information names), so that the decode is
//          reached with any content;
//   bit 1: also import the file from disk (editor::ReadTextFile), which
//          must come to the same result as the check and decode in memory.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/byteorder.h"
#include "data/blockinfo.h"
#include "data/checksum.h"
#include "data/dx470data.h"
#include "download/lcdimage.h"
#include "editor/text_files.h"
#include "image_check.h"
#include "isolated_home.h"

namespace {

constexpr size_t kBlock = dx470::kImagePrefixSize;

void SetChecksum(std::vector<uint8_t>& file, size_t offsetAt, size_t size, size_t checksumAt) {
  const size_t start = kBlock + base::ReadBE16(file.data() + kBlock + offsetAt);
  if (start > file.size() || size > file.size() - start) return;
  base::WriteLE16(file.data() + kBlock + checksumAt, dx470::Fletcher16(file.data() + start, size));
}

void FixChecksums(std::vector<uint8_t>& file) {
  if (file.size() < kBlock + sizeof(dx470::BLOCKINFORMATIONEN)) return;
  SetChecksum(file, 2, sizeof(dx470::ALLGEMEINE), 12);
  SetChecksum(file, 4, dx470::kMessagesSize, 14);
  const size_t fonts = kBlock + base::ReadBE16(file.data() + kBlock + 6);
  if (fonts <= file.size()) SetChecksum(file, 6, file.size() - fonts, 16);
}

std::string& FilePath() {
  static std::string path;
  return path;
}

CDX470Data& Data() {
  static CDX470Data* data = new CDX470Data;
  return *data;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool ok = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
  return ::close(fd) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string home = IsolateFromThisMachine();
  if (!home.empty()) FilePath() = home + "/import.lcd";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  std::vector<uint8_t> file(data + 1, data + size);
  if (flags & 1) FixChecksums(file);

  static dx470::PARAM* param = [] {
    auto* p = new dx470::PARAM;
    std::memset(p, 0x5A, sizeof *p);
    return p;
  }();
  auto before = std::make_unique<dx470::PARAM>(*param);
  const bool accepted = editor::CheckTextFile(file.data(), file.size());
  bool decoded = false;
  if (accepted) {
    decoded = dx470::BuildLcdImage(file.data(), file.size(), *param).ok();
    if (!decoded && std::memcmp(before.get(), param, sizeof *param) != 0)
      fuzzcheck::Fail("a refused image changed the configuration");
    if (decoded) fuzzcheck::ExportAndImport(*param);
  }

  if ((flags & 2) && !FilePath().empty() && WriteFile(FilePath(), file)) {
    CDX470Data& object = Data();
    auto previous = std::make_unique<dx470::PARAM>(object.Param());
    const editor::TextFileStatus status = editor::ReadTextFile(FilePath(), object);
    const editor::TextFileStatus expected =
        accepted && decoded ? editor::TextFileStatus::Ok : editor::TextFileStatus::InvalidData;
    if (status != expected)
      fuzzcheck::Fail("the import from disk differs from the one in memory", int(status));
    const dx470::PARAM& want = status == editor::TextFileStatus::Ok ? *param : *previous;
    if (std::memcmp(&want, &object.Param(), sizeof want) != 0)
      fuzzcheck::Fail("the import from disk gave another configuration");
  }
  return 0;
}
