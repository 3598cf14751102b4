#pragma once
// The per-user data folder of this system: it holds the registry hives and
// the default project.
#include <string>

#include "base/export.h"

namespace win {

// $DX47X_HOME, else $XDG_DATA_HOME/dx47x, else $HOME/.local/share/dx47x
// (empty variables count as unset). The environment is read on every call,
// so a change of $DX47X_HOME applies at once.
RT_API std::string HomeDirectory();

}  // namespace win
