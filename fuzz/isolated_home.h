#pragma once
// Fuzz targets that run the plug-in's code keep away from this machine's
// registry and traces: a fresh temporary home folder, no trace output. The
// home's path, empty when no folder could be made.
#include <cstdlib>
#include <string>

inline std::string IsolateFromThisMachine() {
  char home[] = "/tmp/dx47x-fuzz-home-XXXXXX";
  unsetenv("DX47X_TRACE");
  if (!mkdtemp(home)) return {};
  setenv("DX47X_HOME", home, 1);
  return home;
}
