#pragma once
// A temporary folder that is removed with everything in it, and a scoped
// $DX47X_HOME pointing into one, for tests that touch the registry or files.
#include <string>

namespace testsupport {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets $DX47X_HOME to a fresh folder and restores the old value afterwards.
class TempHome {
 public:
  TempHome();
  ~TempHome();
  const std::string& Path() const { return dir_.Path(); }

 private:
  TempDir dir_;
  std::string old_;
  bool hadOld_ = false;
};

// Folder of the built programs and modules ($DX47X_BIN_DIR, set by CTest).
std::string BinDir();

// The default (or named) string value of HKCR\key: "<missing>" when the key
// does not exist, "<no value>" when the value does not.
std::string RegistryString(const std::string& key, const char* value = nullptr);
bool RegistryKeyExists(const std::string& key);

// Runs a shell command, returns its exit code and puts standard output (and
// standard error when asked) into `output`.
int RunCommand(const std::string& command, std::string* output);

}  // namespace testsupport
