#include "temp_home.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "win/registry.h"

namespace testsupport {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "dx47x-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only folders left by a test must not stop the clean-up.
  const auto writable = [&ec](const std::filesystem::path& p) {
    std::filesystem::permissions(p, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ec);
  };
  writable(path_);
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec))
    if (entry.is_directory(ec)) writable(entry.path());
  std::filesystem::remove_all(path_, ec);
}

TempHome::TempHome() {
  if (const char* old = std::getenv("DX47X_HOME")) {
    old_ = old;
    hadOld_ = true;
  }
  setenv("DX47X_HOME", dir_.Path().c_str(), 1);
  win::RegistryFlushCache();
}

TempHome::~TempHome() {
  if (hadOld_)
    setenv("DX47X_HOME", old_.c_str(), 1);
  else
    unsetenv("DX47X_HOME");
  win::RegistryFlushCache();
}

std::string BinDir() {
  const char* dir = std::getenv("DX47X_BIN_DIR");
  return dir ? dir : ".";
}

std::string RegistryString(const std::string& key, const char* value) {
  win::RegKey k;
  if (k.Open(HKEY_CLASSES_ROOT, key.c_str()) != ERROR_SUCCESS) return "<missing>";
  std::string s;
  if (k.GetString(value, s) != ERROR_SUCCESS) return "<no value>";
  return s;
}

bool RegistryKeyExists(const std::string& key) {
  win::RegKey k;
  return k.Open(HKEY_CLASSES_ROOT, key.c_str()) == ERROR_SUCCESS;
}

int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buf[4096];
  size_t n;
  if (output) output->clear();
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
    if (output) output->append(buf, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testsupport
