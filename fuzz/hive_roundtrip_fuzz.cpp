// Fuzz target of the hive file format: any bytes the reader accepts must be
// written back as text that reads as the same tree, and writing that tree
// again must give the same text. A writer refusal is allowed only for the
// size bound (the written form of a byte can be longer than the one read).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "hive.h"

namespace {

constexpr std::string_view kRoot = "HKEY_CLASSES_ROOT";

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "hive round trip: %s\n%s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  win::reg::Node first;
  std::string error;
  if (!win::reg::ParseHive(text, kRoot, first, error)) return 0;

  std::string written;
  if (!win::reg::SerializeHive(first, kRoot, written, error)) {
    if (error.find("larger than") == std::string::npos) Fail("the writer refused an accepted hive", error);
    return 0;
  }
  win::reg::Node second;
  if (!win::reg::ParseHive(written, kRoot, second, error))
    Fail("the reader refused the written hive", error + "\n" + written);
  if (!win::reg::SameTree(first, second)) Fail("the written hive reads as another tree", written);
  std::string again;
  if (!win::reg::SerializeHive(second, kRoot, again, error)) Fail("the second write was refused", error);
  if (again != written) Fail("the second write differs from the first", written + "\n----\n" + again);
  return 0;
}
