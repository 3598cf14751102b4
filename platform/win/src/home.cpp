#include "win/home.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace win {
namespace {

std::string EnvOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// $HOME, falling back to the password database when it is unset.
std::string UserHome() {
  std::string home = EnvOrEmpty("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

}  // namespace

std::string HomeDirectory() {
  std::string home = EnvOrEmpty("DX47X_HOME");
  if (!home.empty()) return home;
  std::string data = EnvOrEmpty("XDG_DATA_HOME");
  if (!data.empty()) return data + "/dx47x";
  return UserHome() + "/.local/share/dx47x";
}

}  // namespace win
