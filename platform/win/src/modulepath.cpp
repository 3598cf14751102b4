#include "win/modulepath.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

namespace win {
namespace {

std::string Canonical(const char* path) {
  std::unique_ptr<char, decltype(&free)> real(realpath(path, nullptr), &free);
  return real ? std::string(real.get()) : std::string();
}

std::string ExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = '\0';
  return buf;
}

}  // namespace

std::string ModulePathOf(const void* addressInsideModule) {
  if (!addressInsideModule) return {};
  Dl_info info{};
  link_map* map = nullptr;
  if (!dladdr1(addressInsideModule, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP)) return {};
  // The main program heads the link map and is named by argv[0] at best,
  // which may be relative to a folder we have left since; ask the kernel.
  if (map && !map->l_prev) return ExecutablePath();
  if (!info.dli_fname || !*info.dli_fname) return {};
  return Canonical(info.dli_fname);
}

}  // namespace win
