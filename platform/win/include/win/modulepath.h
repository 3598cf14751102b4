#pragma once
// The file a piece of code was loaded from.
#include <string>

#include "base/export.h"

namespace win {

// Absolute, canonical path of the executable or shared object that contains
// the given address (code or data), or "" when no loaded file contains it.
RT_API std::string ModulePathOf(const void* addressInsideModule);

// Path of the module that compiles this call. The anchor is a static of an
// internal-linkage function, so every module gets its own copy and the
// answer names the caller's file, not the runtime library.
static inline std::string ThisModulePath() {
  static const char anchor = 0;
  return ModulePathOf(&anchor);
}

}  // namespace win
