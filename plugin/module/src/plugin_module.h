#pragma once
// Module-wide state of DX47x.so: the COM module and the application start-up.
#include <atomic>

#include "com/module.h"

namespace plugin {

com::Module& ComModule();

// Runs the application start-up once (profile key, localisation); every
// entry point calls it before doing anything else.
void EnsureApplicationStarted();

// Modal dialogs currently open; the module cannot unload while one runs.
extern std::atomic<int> g_openDialogs;

}  // namespace plugin
