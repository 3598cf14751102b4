#pragma once
// Runs a dialog with a UI script as the editor does: the script's services
// are also the process's, so nested dialogs follow the same script.
#include <sstream>
#include <string>

#include "ui/dialog.h"
#include "ui/script.h"
#include "ui/services.h"

namespace testui {

struct ScriptRun {
  int result = 0;
  bool ok = false;  // the script ran to its end without a failure
  std::string report;
};

inline ScriptRun RunScript(ui::Dialog& dialog, const std::string& script) {
  std::istringstream in(script);
  std::ostringstream out;
  auto services = ui::MakeScriptedServices(in, out);
  ui::SetServices(services.get());
  ScriptRun run;
  run.result = dialog.DoModal(*services);
  ui::SetServices(nullptr);
  run.ok = services->Finish();
  run.report = out.str();
  return run;
}

}  // namespace testui
